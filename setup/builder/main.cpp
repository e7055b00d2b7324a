// KVTpayload: appends a payload to a copy of the setup program (usage below).

#include <QCoreApplication>
#include <QFile>
#include <QRegularExpression>
#include <cstdio>
#include <map>

#include "BrokenPipe.h"
#include "PayloadBuilder.h"
#include "PayloadFormat.h"
#include "StandardDescriptors.h"

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
    "NAME may hold subfolders separated by \"\\\". Names are stored in Windows-1252.\n"
    "Refused, as the setup would lose, refuse or fail to extract them: a name with\n"
    "any other character; an empty or absolute name, or one that starts with a\n"
    "drive letter (C:); a name with an empty, \".\" or \"..\" part; a name longer than\n"
    "4096 bytes, or with a part longer than a file name's 255 bytes (in UTF-8);\n"
    "two entries extracted as the same file, or as a file and a folder (sub and\n"
    "sub\\a.txt, or pkg and the block pkg\\app.lzma); the compressed block's NAME\n"
    "without a folder, or with one longer than 4093 bytes; a block without the\n"
    "decompressor (TYPE 7) before it; --compressed without a block.\n"
    "A member goes into the --block given before it, and only the first block is\n"
    "unpacked: STORED is a path below the folder of its NAME (app.msi of\n"
    "pkg\\app.lzma gives pkg/app.msi); only \"/\" separates its parts, and empty and\n"
    "\".\" parts are dropped. STORED and TARGET are kept as the bytes given.\n"
    "Refused, as the setup would lose or not extract them: a member before any\n"
    "--block or in a later block; an empty or absolute STORED, one with a \"..\"\n"
    "part or a part longer than 255 bytes, a file's STORED that ends with \"/\", a\n"
    "STORED that passes 4095 bytes with \"/\" and the block's folder before it; a\n"
    "link's TARGET that is empty, absolute, longer than 4095 bytes, or that leaves\n"
    "the block's folder or follows more than 40 links, read from the link's\n"
    "folder through the block's links (sub/l=../a.txt stays inside; e=d/s/..\n"
    "leaves with d/s=..); two members, or a member and an entry, extracted as the\n"
    "same file or as a file and a folder (the member app.msi and the entry\n"
    "pkg\\app.msi).\n"
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
    "        come before --block, and with --compressed be in group 2\n"
    "  any other number: a plain file, such as a cabinet or a prerequisite's setup\n"
    "\n"
    "Flags:\n"
    "  --configuration  the setup reads its configuration file; needs a TYPE 3 entry\n"
    "  --compressed     the main package comes out of the compressed block, which\n"
    "                   --block must give, with a folder in its NAME (pkg\\app.lzma\n"
    "                   gives pkg/app.msi)\n"
    "  --side-files     the files lie beside the setup program, named by --side\n"
    "  --md5            the setup checks its own MD5 at start\n"
    "  --tail N         adds N bytes after the trailer, as a signature would\n"
    "\n"
    "Example: a setup that hands the package app.msi to the installer, configured\n"
    "by setup.ini (an INI file with a [GeneralOptions] section):\n"
    "  KVTpayload --out MySetup --file 1:0:app.msi=app.msi \\\n"
    "             --file 0:3:setup.ini=setup.ini --configuration\n"
    "\n"
    "The configuration file's keys: see the README, section \"Setup configuration\".\n";

bool fail(const QString& message) {
  std::fprintf(stderr, "KVTpayload: %s\n", qPrintable(message));
  return false;
}

// An item option: its form as the usage writes it, and how its fields go to
// the builder. The fields are the argument's bytes: member paths and link
// targets keep them as given, names and sources are read as text.
struct ItemOption {
  QString form;
  int numbers;  // the leading fields that are numbers
  void (*add)(PayloadBuilder&, const QByteArrayList&);
};

const std::map<QByteArray, ItemOption>& itemOptions() {
  static const std::map<QByteArray, ItemOption> items = {
      {"--file",
       {"GROUP:TYPE:NAME=SOURCE", 2,
        [](PayloadBuilder& b, const QByteArrayList& f) {
          b.addFile(f[0].toUInt(), f[1].toUInt(), QString::fromLocal8Bit(f[2]), QFile::decodeName(f[3]));
        }}},
      {"--block",
       {"GROUP:NAME", 1,
        [](PayloadBuilder& b, const QByteArrayList& f) {
          b.addBlock(f[0].toUInt(), QString::fromLocal8Bit(f[1]));
        }}},
      {"--member",
       {"STORED=SOURCE", 0,
        [](PayloadBuilder& b, const QByteArrayList& f) { b.addMember(f[0], QFile::decodeName(f[1])); }}},
      {"--member-link",
       {"STORED=TARGET", 0, [](PayloadBuilder& b, const QByteArrayList& f) { b.addMemberLink(f[0], f[1]); }}},
      {"--side",
       {"TYPE:NAME", 1,
        [](PayloadBuilder& b, const QByteArrayList& f) {
          b.addSideFile(f[0].toUInt(), QString::fromLocal8Bit(f[1]));
        }}},
  };
  return items;
}

bool isNumber(const QByteArray& text) {
  bool ok = false;
  text.toUInt(&ok);
  return ok;
}

// What is wrong with each field of `fields`, named after the form's; empty when
// nothing is. Names, member paths and link targets, also empty ones, are left
// to the builder, which refuses what the setup would.
QString checkFields(const ItemOption& item, const QStringList& names, const QByteArrayList& fields) {
  for (qsizetype i = 0; i < names.size(); ++i) {
    const bool number = i < item.numbers;
    if (fields[i].isEmpty() && (number || names[i] == "SOURCE")) return names[i] + " is empty";
    if (number && !isNumber(fields[i]))
      return QString("%1 \"%2\" is not a number from 0 to %3")
          .arg(names[i], QString::fromLocal8Bit(fields[i]))
          .arg(UINT32_MAX);
  }
  return {};
}

// `value` split as the form: at ":" before the "=", the last of those fields
// keeping any further ":" (names may hold one), then all after the "=".
// What is wrong with it, empty when nothing is.
QString splitItem(const ItemOption& item, const QByteArray& value, QByteArrayList& fields) {
  const QStringList names = item.form.split(QRegularExpression("[:=]"));
  const bool formHasEquals = item.form.contains('=');
  const qsizetype equals = value.indexOf('=');
  if (formHasEquals && equals < 0) return QStringLiteral("no \"=\"");
  if (!formHasEquals && equals >= 0) return QStringLiteral("\"=\" where the form has none");
  const qsizetype beforeEquals = names.size() - (formHasEquals ? 1 : 0);
  fields = value.left(equals < 0 ? value.size() : equals).split(':');
  if (fields.size() < beforeEquals) return QStringLiteral("too few fields");
  fields = fields.mid(0, beforeEquals - 1) << fields.mid(beforeEquals - 1).join(':');
  if (formHasEquals) fields << value.mid(equals + 1);
  return checkFields(item, names, fields);
}

bool addItem(const QByteArray& option, const QByteArray& value, PayloadBuilder& builder) {
  const ItemOption& item = itemOptions().at(option);
  QByteArrayList fields;
  if (const QString problem = splitItem(item, value, fields); !problem.isEmpty())
    return fail(QString("%1 \"%2\": %3; expected %1 %4")
                    .arg(QString::fromLatin1(option), QString::fromLocal8Bit(value), problem, item.form));
  item.add(builder, fields);
  return true;
}

bool takeValue(const QByteArray& option, const QByteArray& value, Arguments& a) {
  if (option == "--stub") {
    a.builder.setStub(QFile::decodeName(value));
  } else if (option == "--out") {
    a.out = QFile::decodeName(value);
  } else if (option == "--tail") {
    a.builder.setTail(value.toLongLong());
  } else {
    return addItem(option, value, a.builder);
  }
  return true;
}

bool takesValue(const QByteArray& option) {
  return option == "--stub" || option == "--out" || option == "--tail" || itemOptions().count(option) != 0;
}

bool parseArguments(const QByteArrayList& args, Arguments& a) {
  const std::map<QByteArray, quint32> flags = {{"--side-files", PayloadFormat::Flag::SideFiles},
                                               {"--configuration", PayloadFormat::Flag::Configuration},
                                               {"--md5", PayloadFormat::Flag::VerifyMd5},
                                               {"--compressed", PayloadFormat::Flag::Compressed}};
  a.builder.setStub(QCoreApplication::applicationDirPath() + "/KVTsetup");
  for (qsizetype i = 1; i < args.size(); ++i) {
    const QByteArray& option = args[i];
    if (auto flag = flags.find(option); flag != flags.end()) {
      a.flags |= flag->second;
      continue;
    }
    if (!takesValue(option)) return fail("unknown option " + QString::fromLocal8Bit(option));
    if (i + 1 >= args.size()) return fail(QString::fromLocal8Bit(option) + " needs a value");
    if (!takeValue(option, args[++i], a)) return false;
  }
  if (a.out.isEmpty()) return fail(QStringLiteral("--out is missing"));
  a.builder.setFlags(a.flags);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  StandardDescriptors::openClosedOnNull();
  BrokenPipe::failWritesInsteadOfEnding();
  QCoreApplication app(argc, argv);
  const QStringList args = app.arguments();
  if (args.size() < 2 || args.contains("--help")) {
    std::fputs(kUsage, args.size() < 2 ? stderr : stdout);
    return args.size() < 2 ? 2 : 0;
  }
  Arguments arguments;
  // Member paths and link targets are taken as the bytes given, which decoded text may not hold.
  if (!parseArguments(QByteArrayList(argv, argv + argc), arguments)) return 2;
  const QString error = arguments.builder.write(arguments.out);
  if (error.isEmpty()) return 0;
  fail(error);
  return 1;
}
