#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QPointer>
#include <QRandomGenerator>
#include <QTest>
#include <functional>
#include <memory>
#include <optional>

#include "TestEnv.h"
#include "clsPJLStreamProcessor.h"
#include "modPJL.h"

namespace {

const QByteArray kUEL = QByteArray("\x1b%-12345X");
constexpr qint64 kBuffer = clsPJLStreamProcessor::BufferSize;

// Lets events run until `done` holds; the cap only keeps a broken streamer from hanging the test.
bool waitFor(const std::function<bool()>& done) {
  QDeadlineTimer cap(60000);
  while (!done() && !cap.hasExpired()) QTest::qWait(5);
  return done();
}

QString writeFile(const QString& name, const QByteArray& content) {
  const QString path = TestEnv::sandbox() + '/' + name;
  QFile file(path);
  file.open(QIODevice::WriteOnly | QIODevice::Truncate);
  file.write(content);
  return path;
}

// Bytes that hold no framing of their own: no ESC, so no UEL.
QByteArray plainData(qint64 size, quint32 seed) {
  QRandomGenerator random(seed);
  QByteArray bytes(size, Qt::Uninitialized);
  for (qint64 i = 0; i < size; ++i) {
    char c = static_cast<char>(random.bounded(256));
    bytes[i] = c == 27 ? 'e' : c;
  }
  return bytes;
}

struct Part {
  std::optional<QStringList> headers;
  QByteArray data;
};

// Everything one streamer raises, copied inside the handlers.
class Recorder {
 public:
  explicit Recorder(clsPJLStreamProcessor* streamer) {
    QObject::connect(streamer, &clsPJLStreamProcessor::ProcessData,
                     [this](const QStringList* headers, const ByteView& bData) {
                       Part part;
                       if (headers) part.headers = *headers;
                       part.data = QByteArray(bData.data(), bData.size());
                       parts.push_back(part);
                       if (afterPart) afterPart();
                     });
    QObject::connect(streamer, &clsPJLStreamProcessor::StreamComplete, [this](bool success) {
      ++completions;
      this->success = success;
      partsAtCompletion = static_cast<int>(parts.size());
    });
    QObject::connect(streamer, &clsPJLStreamProcessor::UpdateProgress,
                     [this](qint64 bytesDone) { progress.push_back(bytesDone); });
  }

  QByteArray data() const {
    QByteArray all;
    for (const Part& part : parts) all += part.data;
    return all;
  }
  std::vector<Part> parts;
  std::vector<qint64> progress;
  int completions = 0;
  int partsAtCompletion = 0;
  bool success = false;
  std::function<void()> afterPart;
};

struct Streamed {
  std::vector<Part> parts;
  QByteArray data;
  std::vector<qint64> progress;
  int completions = 0;
  bool success = false;
};

Streamed streamFile(const QString& path, const QString& capture = QString()) {
  clsPJLStreamProcessor streamer;
  Recorder recorder(&streamer);
  streamer.BeginFileStream(path, capture);
  EXPECT_FALSE(streamer.isIdle());
  EXPECT_TRUE(waitFor([&] { return recorder.completions > 0; }));
  EXPECT_TRUE(streamer.isIdle());
  EXPECT_EQ(recorder.partsAtCompletion, static_cast<int>(recorder.parts.size())) << "a part after the end";
  return {recorder.parts, recorder.data(), recorder.progress, recorder.completions, recorder.success};
}

Streamed streamBytes(const QByteArray& content) { return streamFile(writeFile("input.bin", content)); }

QByteArray pjlHeader(const QByteArray& language) {
  return kUEL + " @PJL\r\n@PJL SET RESOLUTION=600\r\n@PJL ENTER LANGUAGE=" + language + "\r\n";
}

TEST(StreamProcessorPjl, HeaderLinesAndUelsAreCutAwayFromTheData) {
  const QByteArray data = plainData(50000, 1);
  const Streamed result = streamBytes(pjlHeader("HPGL2") + data + kUEL);
  EXPECT_TRUE(result.success);
  EXPECT_EQ(result.completions, 1);
  EXPECT_EQ(result.data, data);
  ASSERT_FALSE(result.parts.empty());
  ASSERT_TRUE(result.parts[0].headers.has_value());
  EXPECT_EQ(*result.parts[0].headers, (QStringList{" SET RESOLUTION=600", " ENTER LANGUAGE=HPGL2"}));
  EXPECT_EQ(result.parts[0].data, data);
  for (size_t i = 1; i < result.parts.size(); ++i) EXPECT_FALSE(result.parts[i].headers.has_value());
}

TEST(StreamProcessorPjl, EveryJobOfTheFileStartsAPartWithItsLines) {
  const QByteArray first = plainData(3000, 2);
  const QByteArray second = plainData(4000, 3);
  const Streamed result = streamBytes(pjlHeader("PS") + first + pjlHeader("PCL") + second + kUEL);
  EXPECT_EQ(result.data, first + second);
  std::vector<QStringList> starts;
  for (const Part& part : result.parts)
    if (part.headers) starts.push_back(*part.headers);
  ASSERT_EQ(starts.size(), 2u);
  EXPECT_EQ(starts[1], (QStringList{" SET RESOLUTION=600", " ENTER LANGUAGE=PCL"}));
}

TEST(StreamProcessorPjl, HeaderSplitAcrossTheReadBoundaryIsStillCut) {
  const QByteArray header = kUEL + "@PJL ENTER LANGUAGE=PS\r\n";
  // Where the first read ends: inside the UEL, inside "@PJL", between CR and LF, just after the line.
  for (const qint64 intoHeader : {4, 11, 9 + 23, 9 + 24}) {
    const QByteArray before = plainData(kBuffer - intoHeader, 4);
    const QByteArray after = plainData(70000, 5);
    const QByteArray content = before + header + after + kUEL;
    const Streamed result = streamBytes(content);
    EXPECT_EQ(result.data.size(), before.size() + after.size()) << intoHeader;
    EXPECT_TRUE(result.data == before + after) << intoHeader;
    ASSERT_FALSE(result.progress.empty());
    EXPECT_EQ(result.progress.back(), content.size());
    int starts = 0;
    for (const Part& part : result.parts) starts += part.headers && !part.headers->isEmpty();
    EXPECT_GE(starts, 1) << intoHeader;
  }
}

// Once the document has entered its language, what follows is its data, PJL or not.
TEST(StreamProcessorPjl, APjlLineAfterEnterLanguageStaysInTheData) {
  const QByteArray data = plainData(3000, 11);
  const Streamed result = streamBytes(kUEL + "@PJL ENTER LANGUAGE=HPGL2\r\n@PJL COMMENT x\r\n" + data + kUEL);
  EXPECT_EQ(result.data, "@PJL COMMENT x\r\n" + data);
  ASSERT_FALSE(result.parts.empty());
  ASSERT_TRUE(result.parts[0].headers.has_value());
  EXPECT_EQ(*result.parts[0].headers, QStringList{" ENTER LANGUAGE=HPGL2"});
}

TEST(StreamProcessorData, FileWithoutFramingArrivesWholeAndInOrder) {
  const QByteArray data = plainData(2 * kBuffer + 12345, 6);
  const Streamed result = streamBytes(data);
  EXPECT_TRUE(result.success);
  EXPECT_TRUE(result.data == data);
  ASSERT_GE(result.parts.size(), 2u);
  ASSERT_TRUE(result.parts[0].headers.has_value());
  EXPECT_TRUE(result.parts[0].headers->isEmpty());
  EXPECT_EQ(result.parts[0].data.size(), kBuffer - 9);
  for (size_t i = 1; i < result.parts.size(); ++i) EXPECT_FALSE(result.parts[i].headers.has_value());
  EXPECT_EQ(result.progress, (std::vector<qint64>{kBuffer, 2 * kBuffer - 9, data.size()}));
}

TEST(StreamProcessorData, LineEndsAfterHeadersTakeNoDataBytes) {
  // Data that starts with line-end bytes right after a UEL or a header line keeps them.
  const QByteArray data = QByteArray("X\r\nrest", 7);
  EXPECT_EQ(streamBytes(kUEL + "AB\nCD" + data).data, "AB\nCD" + data);
  EXPECT_EQ(streamBytes(kUEL + "@PJL ENTER LANGUAGE=PS\r\nA\r\n" + data).data, "A\r\n" + data);
  EXPECT_EQ(streamBytes(kUEL + "\r\n@PJL ENTER LANGUAGE=PS\n\r\n" + data).data, "\r\n" + data);
}

TEST(StreamProcessorData, PjlLineEndedByEscBecomesData) {
  const QByteArray rest =
      "@PJL SET X=1\x1b"
      "E" +
      plainData(100, 7);
  const Streamed result = streamBytes(kUEL + rest);
  EXPECT_EQ(result.data, rest);
}

TEST(StreamProcessorData, OverlongPjlLineLosesOnlyItsPjl) {
  const QByteArray rest = QByteArray(6000, 'A') + "\r\n" + plainData(100, 8);
  const Streamed result = streamBytes(kUEL + "@PJL" + rest);
  EXPECT_EQ(result.data, rest);
  for (const Part& part : result.parts)
    if (part.headers) {
      EXPECT_TRUE(part.headers->isEmpty());
    }
}

TEST(StreamProcessorData, EmptyFileRaisesOneEmptyPartAndSucceeds) {
  const Streamed result = streamBytes(QByteArray());
  EXPECT_TRUE(result.success);
  EXPECT_EQ(result.completions, 1);
  ASSERT_EQ(result.parts.size(), 1u);
  EXPECT_FALSE(result.parts[0].headers.has_value());
  EXPECT_TRUE(result.parts[0].data.isEmpty());
}

// Opening a FIFO for reading would wait for a writer with the program frozen:
// it fails at once, as a device and a missing file do.
TEST(StreamProcessorData, AMissingFileAFifoOrADeviceFailsWithoutParts) {
  const QString fifo = TestEnv::sandbox() + "/plot.fifo";
  TestEnv::makeFifo(fifo);
  for (const QString& path : {TestEnv::sandbox() + "/no-such-file.plt", fifo, QStringLiteral("/dev/zero")}) {
    const Streamed result = streamFile(path);
    EXPECT_FALSE(result.success) << path.toStdString();
    EXPECT_EQ(result.completions, 1) << path.toStdString();
    EXPECT_TRUE(result.parts.empty()) << path.toStdString();
    EXPECT_TRUE(result.progress.empty()) << path.toStdString();
  }
}

TEST(StreamProcessorData, FilesShorterThanAUelArriveWhole) {
  for (const QByteArray& content :
       {QByteArray("A"), QByteArray("ABCDEFGH"), QByteArray("@PJL\r\n"), QByteArray("\x1b%-12")}) {
    const Streamed result = streamBytes(content);
    EXPECT_TRUE(result.success);
    EXPECT_EQ(result.data, content);
  }
}

TEST(StreamProcessorData, CaptureFileGetsEveryByteRead) {
  const QByteArray content = pjlHeader("PS") + plainData(kBuffer + 500, 9) + kUEL;
  const QString capture = TestEnv::sandbox() + "/capture/deeper/copy.bin";
  streamFile(writeFile("captured.bin", content), capture);
  QFile copy(capture);
  ASSERT_TRUE(copy.open(QIODevice::ReadOnly));
  EXPECT_TRUE(copy.readAll() == content);
}

TEST(StreamProcessorCgm, ClearTextHeadersBecomeJobAndSetLines) {
  const Streamed result = streamFile(TestEnv::dataPath("streams/two-plots.cgm"));
  EXPECT_TRUE(result.success);
  EXPECT_EQ(result.data, "BEGPIC 'one';\r\nLINE 0,0 100,100;\r\nENDPIC;\r\nBEGPIC 'two';\r\nENDPIC;\r\n");
  std::vector<QStringList> starts;
  for (const Part& part : result.parts)
    if (part.headers) starts.push_back(*part.headers);
  ASSERT_GE(starts.size(), 2u);
  EXPECT_EQ(starts[0], (QStringList{"JOB NAME= 'plot'", "SET PAPER=ISO_A4", "SET PAGESCALING=50"}));
  ASSERT_EQ(starts[1].size(), 3);
  EXPECT_EQ(starts[1][0], "EOJ");
  EXPECT_EQ(starts[1][1], "JOB NAME= 'two'");
  EXPECT_TRUE(starts[1][2].startsWith("SET FINISHPROGID=")) << starts[1][2].toStdString();
  EXPECT_TRUE(starts[1][2].contains("BYPASS"));
}

TEST(StreamProcessorCgm, BegmfThatIsNoHeaderRecordStaysData) {
  EXPECT_EQ(streamBytes("BEGMF without end\r\nmore").data, "BEGMF without end\r\nmore");
  const QByteArray longName = "BEGMF '" + QByteArray(600, 'n') + "';\r\nENDMF;\r\n";
  EXPECT_EQ(streamBytes(longName).data, longName);
}

// A clear-text header starts with a BEGMF line of at most 511 bytes, its line end included.
TEST(StreamProcessorCgm, ABegmfLineOf511BytesIsAHeaderAndOneOf512IsData) {
  const QByteArray body = "ENDMF;\r\nBEGPIC 'p';\r\nENDPIC;\r\n";
  for (const qsizetype length : {511, 512}) {
    const QByteArray begin = "BEGMF '" + QByteArray(length - 11, 'n') + "';\r\n";
    ASSERT_EQ(begin.size(), length);
    const Streamed result = streamBytes(begin + body);
    EXPECT_EQ(result.data, length == 511 ? QByteArray("BEGPIC 'p';\r\nENDPIC;\r\n") : begin + body) << length;
  }
}

TEST(StreamProcessorCgm, EndmfWithMoreOnItsLineKeepsTheRest) {
  const Streamed result = streamBytes("BEGMF 'a';\nAPPLDATA 5 \"XY=1\";\nENDMF;BEGPIC;\nENDPIC;\n");
  EXPECT_EQ(result.data, "BEGPIC;\nENDPIC;\n");
}

TEST(StreamProcessorLifecycle, StopNowTwiceCompletesOnceAndLaterTicksDoNothing) {
  clsPJLStreamProcessor streamer;
  Recorder recorder(&streamer);
  streamer.BeginFileStream(writeFile("stopped.bin", plainData(1000, 10)), QString());
  streamer.StopNow();
  streamer.StopNow();
  EXPECT_EQ(recorder.completions, 1);
  EXPECT_TRUE(recorder.success);
  EXPECT_TRUE(streamer.isIdle());
  const size_t parts = recorder.parts.size();
  QTest::qWait(2 * clsPJLStreamProcessor::FirstStepMs);
  EXPECT_EQ(recorder.completions, 1);
  EXPECT_EQ(recorder.parts.size(), parts);
  EXPECT_TRUE(recorder.progress.empty());
}

TEST(StreamProcessorLifecycle, OwnerMayReleaseTheStreamerInsideStreamComplete) {
  QPointer<clsPJLStreamProcessor> streamer = new clsPJLStreamProcessor;
  Recorder recorder(streamer);
  QObject::connect(streamer, &clsPJLStreamProcessor::StreamComplete, streamer,
                   [&] { streamer->deleteLater(); });
  streamer->BeginFileStream(writeFile("released.bin", pjlHeader("PS") + "data" + kUEL), QString());
  EXPECT_TRUE(waitFor([&] { return streamer.isNull(); }));
  EXPECT_EQ(recorder.completions, 1);
  EXPECT_EQ(recorder.data(), "data");
}

TEST(StreamProcessorLifecycle, HandlerMayStopAndReleaseInsideProcessData) {
  QPointer<clsPJLStreamProcessor> streamer = new clsPJLStreamProcessor;
  Recorder recorder(streamer);
  recorder.afterPart = [&] {
    streamer->StopNow();
    streamer->deleteLater();
  };
  streamer->BeginFileStream(writeFile("cancelled.bin", pjlHeader("PS") + plainData(5000, 11) + kUEL + "more"),
                            QString());
  EXPECT_TRUE(waitFor([&] { return streamer.isNull(); }));
  EXPECT_EQ(recorder.completions, 1);
  EXPECT_EQ(recorder.parts.size(), 1u);
  EXPECT_TRUE(recorder.progress.empty());
}

// The bytes of `part` appear in `whole` in the same order.
bool inOrderWithin(const QByteArray& part, const QByteArray& whole) {
  qsizetype at = 0;
  for (const char c : part) {
    at = whole.indexOf(c, at);
    if (at < 0) return false;
    ++at;
  }
  return true;
}

// Small files made of the bytes that drive the parser.
QByteArray randomInput(QRandomGenerator& random) {
  static const QByteArray pieces[] = {kUEL,
                                      "@PJL",
                                      " @PJL",
                                      "\r",
                                      "\n",
                                      QByteArray(1, '\0'),
                                      "\x1b",
                                      "BEGMF",
                                      "ENDMF;",
                                      "APPLDATA",
                                      " 21 \"PF=4\";",
                                      "ENTER LANGUAGE=PS",
                                      "'x';",
                                      ";"};
  QByteArray input;
  const int count = random.bounded(40);
  for (int i = 0; i < count; ++i) {
    if (random.bounded(3) == 0)
      input += static_cast<char>(random.bounded(256));
    else
      input += pieces[random.bounded(static_cast<int>(std::size(pieces)))];
  }
  return input;
}

TEST(StreamProcessorFuzz, RandomInputsAlwaysFinishAndNeverGrow) {
  QRandomGenerator random(12345);
  constexpr int kBatches = 6;
  constexpr int kPerBatch = 50;
  for (int batch = 0; batch < kBatches; ++batch) {
    std::vector<std::unique_ptr<clsPJLStreamProcessor>> streamers;
    std::vector<std::unique_ptr<Recorder>> recorders;
    std::vector<QByteArray> inputs;
    for (int i = 0; i < kPerBatch; ++i) {
      inputs.push_back(randomInput(random));
      streamers.push_back(std::make_unique<clsPJLStreamProcessor>());
      recorders.push_back(std::make_unique<Recorder>(streamers.back().get()));
      streamers.back()->BeginFileStream(writeFile(QStringLiteral("fuzz%1.bin").arg(i), inputs.back()),
                                        QString());
    }
    ASSERT_TRUE(waitFor([&] {
      for (const auto& recorder : recorders)
        if (recorder->completions == 0) return false;
      return true;
    }));
    for (int i = 0; i < kPerBatch; ++i) {
      EXPECT_EQ(recorders[i]->completions, 1);
      EXPECT_TRUE(recorders[i]->success);
      EXPECT_TRUE(inOrderWithin(recorders[i]->data(), inputs[i])) << inputs[i].toHex().toStdString();
      if (!inputs[i].contains('\x1b') && !inputs[i].contains("@PJL") && !inputs[i].contains("BEGMF")) {
        EXPECT_EQ(recorders[i]->data(), inputs[i]) << inputs[i].toHex().toStdString();
      }
    }
  }
}

}  // namespace
