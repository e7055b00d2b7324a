// KVTpayload: appends a payload to a copy of the setup program (usage below).

#include <QCoreApplication>
#include <QFile>
#include <cstdio>
#include <map>

#include "PayloadBuilder.h"
#include "PayloadFormat.h"

namespace {

struct Arguments {
  PayloadBuilder builder;
  QString out;
  quint32 flags = 0;
};

constexpr char kUsage[] =
    "Usage: KVTpayload [--stub PROGRAM] --out FILE [ITEM...] [FLAG...]\n"
    "Writes FILE: a copy of the setup program (the stub, KVTsetup beside this program\n"
    "unless --stub names another) with a payload of files appended. FILE is replaced\n"
    "only once the whole payload is written; it may not be the stub or a source.\n"
    "\n"
    "Items, written in the order given:\n"
    "  --file GROUP:TYPE:NAME=SOURCE   a table entry holding SOURCE's bytes, stored as NAME\n"
    "  --block GROUP:NAME              the compressed block, an xz-compressed tar archive\n"
    "  --member STORED=SOURCE          a file of the block, stored under the path STORED\n"
    "  --member-link STORED=TARGET     a symbolic link of the block\n"
    "  --side TYPE:NAME                a side-file record\n"
    "NAME may hold subfolders separated by \"\\\". Names are stored in Windows-1252:\n"
    "a name with any other character, and two entries extracted as the same file,\n"
    "are refused.\n"
    "\n"
    "GROUP, what the setup does with an entry:\n"
    "  1     the application: extracted and launched (its package and cabinet)\n"
    "  2     the same in compressed mode: the decompressor and the compressed block\n"
    "  100+  a prerequisite's setup files: the group of the entry whose NAME is the\n"
    "        prerequisite's SetupFile is extracted when it is to be installed\n"
    "  0     anything else, such as the configuration file\n"
    "TYPE, what an entry is:\n"
    "  0     the main package; the first one is launched, a Windows Installer\n"
    "        package (.msi) through [SystemFolder]msiexec.exe\n"
    "  3     the configuration file (an INI file); the first one is used\n"
    "  6     the compressed block: --block writes it, never --file\n"
    "  7     the decompressor library (KVTdecompress.so beside this program); it must\n"
    "        come before --block\n"
    "  any other number: a plain file, such as a cabinet or a prerequisite's setup\n"
    "\n"
    "Flags:\n"
    "  --configuration  the setup reads its configuration file; needs a TYPE 3 entry\n"
    "  --compressed     the main package comes out of the compressed block, whose\n"
    "                   NAME needs a folder (pkg\\app.lzma gives pkg/app.msi)\n"
    "  --side-files     the files lie beside the setup program, named by --side\n"
    "  --md5            the setup checks its own MD5 at start\n"
    "  --tail N         adds N bytes after the trailer, as a signature would\n"
    "\n"
    "Example: a setup that hands the package app.msi to the installer, configured\n"
    "by setup.ini (an INI file with a [GeneralOptions] section):\n"
    "  KVTpayload --out MySetup --file 1:0:app.msi=app.msi \\\n"
    "             --file 0:3:setup.ini=setup.ini --configuration\n";

bool fail(const QString& message) {
  std::fprintf(stderr, "KVTpayload: %s\n", qPrintable(message));
  return false;
}

// "A:B=C" as {"A", "B", "C"}: the first `fields` parts split at ":", the rest after "=".
bool splitItem(const QString& value, int fields, QStringList& parts) {
  const qsizetype equals = value.indexOf('=');
  parts = value.left(equals < 0 ? value.size() : equals).split(':');
  if (parts.size() < fields) return false;
  parts = parts.mid(0, fields - 1) << parts.mid(fields - 1).join(':');
  if (equals >= 0) parts << value.mid(equals + 1);
  return true;
}

bool toNumber(const QString& text, quint32& number) {
  bool ok = false;
  number = text.toUInt(&ok);
  return ok;
}

bool parseArguments(const QStringList& args, Arguments& a) {
  const std::map<QString, quint32> flags = {{"--side-files", PayloadFormat::Flag::SideFiles},
                                            {"--configuration", PayloadFormat::Flag::Configuration},
                                            {"--md5", PayloadFormat::Flag::VerifyMd5},
                                            {"--compressed", PayloadFormat::Flag::Compressed}};
  a.builder.setStub(QCoreApplication::applicationDirPath() + "/KVTsetup");
  for (qsizetype i = 1; i < args.size(); ++i) {
    const QString& option = args[i];
    if (auto flag = flags.find(option); flag != flags.end()) {
      a.flags |= flag->second;
      continue;
    }
    if (i + 1 >= args.size()) return fail(option + " needs a value");
    const QString value = args[++i];
    QStringList p;
    quint32 group = 0, type = 0;
    if (option == "--stub") {
      a.builder.setStub(value);
    } else if (option == "--out") {
      a.out = value;
    } else if (option == "--tail") {
      a.builder.setTail(value.toLongLong());
    } else if (option == "--file" && splitItem(value, 3, p) && p.size() == 4 && toNumber(p[0], group) &&
               toNumber(p[1], type)) {
      a.builder.addFile(group, type, p[2], p[3]);
    } else if (option == "--block" && splitItem(value, 2, p) && p.size() == 2 && toNumber(p[0], group)) {
      a.builder.addBlock(group, p[1]);
    } else if (option == "--member" && splitItem(value, 1, p) && p.size() == 2) {
      a.builder.addMember(QFile::encodeName(p[0]), p[1]);
    } else if (option == "--member-link" && splitItem(value, 1, p) && p.size() == 2) {
      a.builder.addMemberLink(QFile::encodeName(p[0]), QFile::encodeName(p[1]));
    } else if (option == "--side" && splitItem(value, 2, p) && p.size() == 2 && toNumber(p[0], type)) {
      a.builder.addSideFile(type, p[1]);
    } else {
      return fail("cannot read " + option + " " + value);
    }
  }
  if (a.out.isEmpty()) return fail(QStringLiteral("--out is missing"));
  a.builder.setFlags(a.flags);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  const QStringList args = app.arguments();
  if (args.size() < 2 || args.contains("--help")) {
    std::fputs(kUsage, args.size() < 2 ? stderr : stdout);
    return args.size() < 2 ? 2 : 0;
  }
  Arguments arguments;
  if (!parseArguments(args, arguments)) return 2;
  const QString error = arguments.builder.write(arguments.out);
  if (error.isEmpty()) return 0;
  fail(error);
  return 1;
}
