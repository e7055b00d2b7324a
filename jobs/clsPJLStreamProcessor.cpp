#include "clsPJLStreamProcessor.h"

#include <cstring>

#include "Ansi.h"
#include "ccrpTimer.h"
#include "clsPJLOptionSet.h"
#include "modFileSystem.h"
#include "modPJL.h"

namespace {

// A header line is looked for in at most this many bytes.
constexpr qint32 kLongestLine = 5025;
// A CGM clear-text header starts with a BEGMF record no longer than this.
constexpr qint32 kLongestBegin = 511;
// A line end is at most NUL, NUL, CR, LF.
constexpr int kLineEndSlots = 4;
constexpr qint32 kLongestLineEnd = 4;
// Held back from a data run while more is to come, so a UEL split by a read is found whole.
constexpr qint32 kHoldBack = 9;

char lineEndByte(int slot) {
  const QByteArray* run[kLineEndSlots] = {&gNULBytes, &gNULBytes, &gCRBytes, &gLFBytes};
  return run[slot]->at(0);
}

}  // namespace

clsPJLStreamProcessor::clsPJLStreamProcessor(QObject* parent)
    : QObject(parent), buffer_(BufferSize, '\0'), tmr_(std::make_unique<ccrpTimer>()) {
  modPJL::Init();
  tmr_->setEventType(ccrpTimer::TimerPeriodic);
  connect(tmr_.get(), &ccrpTimer::Timer, this, [this](int) { tmr_Timer(); });
}

// Raises nothing: the owner that lets go of a running stream has stopped listening.
clsPJLStreamProcessor::~clsPJLStreamProcessor() {
  tmr_->setEnabled(false);
  closeFiles();
  dataView_.goHome();
}

void clsPJLStreamProcessor::BeginFileStream(const QString& fileName, const QString& forwardFileName) {
  tmr_->setEnabled(false);
  ++generation_;
  idle_ = false;
  closeFiles();
  // Only a regular file is opened: a FIFO would block the program, a device never end.
  input_ = std::make_unique<QFile>();
  if (!openRegularFile(*input_, fileName)) input_.reset();
  if (!forwardFileName.isEmpty()) openCapture(forwardFileName);
  tmr_->setInterval(FirstStepMs);
  tmr_->setEnabled(true);
}

void clsPJLStreamProcessor::StopNow() {
  tmr_->setEnabled(false);
  // Without an input file nothing was read, so nothing is raised.
  if (!idle_ && input_) parseBuffer(true);
  closeFiles();
  const bool wasRunning = !idle_;
  const bool success = !error_;
  // Settled before the event, so a handler may start, stop or release the streamer.
  idle_ = true;
  state_ = Data;
  error_ = false;
  if (!wasRunning) return;
  ++generation_;
  pendingLineEnd_ = -1;
  emit StreamComplete(success);
}

bool clsPJLStreamProcessor::isIdle() const { return idle_; }

void clsPJLStreamProcessor::tmr_Timer() {
  tmr_->setEnabled(false);
  if (idle_) return;
  if (busy_) {
    // A handler restarted the stream and lets events run inside a parse: read later.
    tmr_->setEnabled(true);
    return;
  }
  if (!input_) {
    error_ = true;
    StopNow();
    return;
  }
  const quint64 generation = generation_;
  readFileChunk();
  if (generation != generation_) return;
  tmr_->setInterval(NextStepMs);
  tmr_->setEnabled(true);
}

void clsPJLStreamProcessor::readFileChunk() {
  const qint64 remaining = input_->size() - input_->pos();
  if (remaining < 1 || input_->atEnd()) {
    StopNow();
    return;
  }
  const auto length = static_cast<qint32>(qMin<qint64>(remaining, BufferSize - fill_));
  const qint64 got = input_->read(buffer_.data() + fill_, length);
  if (got < 0) {
    error_ = true;
    StopNow();
    return;
  }
  if (got == 0) {
    // The file ended before its size said.
    StopNow();
    return;
  }
  fill_ += static_cast<qint32>(got);
  const quint64 generation = generation_;
  parseBuffer(false);
  if (generation == generation_ && input_) emit UpdateProgress(input_->pos());
}

void clsPJLStreamProcessor::openCapture(const QString& path) {
  CreateFolderPath(GetParentFolderName(path));
  capture_ = std::make_unique<QFile>(path);
  if (!capture_->open(QIODevice::WriteOnly | QIODevice::Truncate)) capture_.reset();
  captured_ = fill_;
}

void clsPJLStreamProcessor::closeFiles() {
  input_.reset();
  capture_.reset();
}

void clsPJLStreamProcessor::captureNewBytes() {
  if (capture_ && captured_ < fill_) capture_->write(buffer_.constData() + captured_, fill_ - captured_);
  captured_ = fill_;
}

void clsPJLStreamProcessor::parseBuffer(bool final) {
  if (busy_) return;
  busy_ = true;
  pos_ = 0;
  lines_.reset();
  parseGeneration_ = generation_;
  if (pendingLineEnd_ >= 0) skipLineEnd(pendingLineEnd_, final);
  captureNewBytes();
  bool going = true;
  while (going && !streamChanged()) {
    switch (state_) {
      case Start:
        going = parseStart(final);
        break;
      case PjlHeader:
        going = parsePjlHeader(final);
        break;
      case Data:
        going = parseData(final, gUELBytes);
        break;
      case CgmHeader:
        going = parseCgmHeader(final);
        break;
      case CgmData:
        going = parseData(final, gBEGMFBytes);
        break;
    }
  }
  if (streamChanged()) {
    // The stream this data belonged to has ended.
    fill_ = 0;
    pendingLineEnd_ = -1;
  } else {
    if (pos_ > 0 && pos_ < fill_) std::memmove(buffer_.data(), buffer_.constData() + pos_, fill_ - pos_);
    fill_ -= pos_;
  }
  pos_ = 0;
  captured_ = fill_;
  lines_.reset();
  busy_ = false;
}

bool clsPJLStreamProcessor::parseStart(bool final) {
  const auto uelLength = static_cast<qint32>(gUELBytes.size());
  for (;;) {
    if (available() < uelLength) {
      if (!final) return false;
      state_ = Data;
      return true;
    }
    if (!startsWith(gUELBytes)) break;
    if (available() < uelLength + kLongestLineEnd && !final) return false;
    pos_ += uelLength;
    skipLineEnd(0, final);
  }
  if (startsWith(gPJLBytes) || startsWith(gSpacePJLBytes)) {
    if (buffer_[pos_] == ' ') ++pos_;
    lines_ = QStringList();
    state_ = PjlHeader;
    return true;
  }
  if (startsWith(gBEGMFBytes)) {
    const Match begin = findPattern(gBEGMFBytes, true, false, final);
    if (begin.status < 0) return false;
    if (begin.status > 0 && begin.length + begin.terminatorLength <= kLongestBegin &&
        begin.text.trimmed().endsWith(';')) {
      lines_ = QStringList();
      consumeLine(begin, final);
      addCgmJobLines(begin.text);
      state_ = CgmHeader;
      return true;
    }
  }
  lines_ = QStringList();
  state_ = Data;
  return true;
}

bool clsPJLStreamProcessor::parsePjlHeader(bool final) {
  const Match line = findPattern(gPJLBytes, true, false, final);
  if (line.status < 0) {
    raiseCollectedLines();
    return false;
  }
  if (line.status == 0) {
    state_ = Data;
    return true;
  }
  if (!lines_) lines_ = QStringList();
  if (!line.text.isEmpty()) lines_->append(line.text);
  consumeLine(line, final);
  if (line.text.trimmed().left(14).toUpper() == QLatin1String("ENTER LANGUAGE")) state_ = Data;
  return true;
}

// Data runs until `boundary` (a UEL, or in CGM data the next BEGMF).
bool clsPJLStreamProcessor::parseData(bool final, const QByteArray& boundary) {
  const qint32 span = available();
  if (span == 0) {
    if (lines_) raisePart(0);
    if (final && !streamChanged()) raisePart(0);
    return false;
  }
  qint32 length = FindBytes(QByteArrayView(buffer_.constData() + pos_, span), boundary);
  const bool stopping = length < 0 && !final;
  if (length < 0) length = final ? span : qMax(0, span - kHoldBack);
  if (!lines_ && length == 0) {
    if (!stopping) state_ = Start;
    return !stopping;
  }
  const bool cgm = state_ == CgmData;
  if (!cgm || length > 0 || stopping) {
    if (cgm) cgmSeen_ = true;
    raisePart(length);
    if (streamChanged()) return false;
  }
  pos_ += length;
  if (!stopping) state_ = Start;
  return !stopping;
}

bool clsPJLStreamProcessor::parseCgmHeader(bool final) {
  if (!lines_) lines_ = QStringList();
  if (available() == 0) {
    raiseCollectedLines();
    return false;
  }
  const Match record = findPattern(gAPPLDATABytes, true, false, final);
  if (record.status < 0) {
    raiseCollectedLines();
    return false;
  }
  if (record.status > 0) {
    if (!record.text.isEmpty()) addCgmRecord(record.text);
    consumeLine(record, final);
    return true;
  }
  if (startsWith(gENDMFBytes)) {
    // The line end goes with it only when nothing else follows on its line.
    pos_ += static_cast<qint32>(gENDMFBytes.size());
    skipLineEnd(0, final);
    state_ = CgmData;
    return true;
  }
  const Match other = findPattern(gNULBytes, true, true, final);
  if (other.status < 0) {
    raiseCollectedLines();
    return false;
  }
  consumeLine(other, final);
  return true;
}

void clsPJLStreamProcessor::addCgmRecord(const QString& rcfText) {
  clsPJLOptionSet options;
  options.UpdateFromRCF(rcfText);
  for (const QString& name : options.optionNames())
    lines_->append(QStringLiteral("SET ") + name + '=' + options.option(name)->value());
}

// One job-name line per CGM part, after the end of the part before it.
void clsPJLStreamProcessor::addCgmJobLines(const QString& lineText) {
  if (cgmSeen_) lines_->append(QStringLiteral("EOJ"));
  lines_->append(QStringLiteral("JOB NAME=") + lineText.left(lineText.size() - 1));
}

void clsPJLStreamProcessor::raisePart(qint32 length) {
  const std::optional<QStringList> lines = std::move(lines_);
  lines_.reset();
  dataView_.pointInto(buffer_, pos_, length);
  emit ProcessData(lines ? &*lines : nullptr, dataView_);
  dataView_.goHome();
}

void clsPJLStreamProcessor::raiseCollectedLines() {
  if (lines_ && !lines_->isEmpty()) raisePart(0);
}

bool clsPJLStreamProcessor::startsWith(const QByteArray& pattern) const {
  return available() >= pattern.size() && std::memcmp(buffer_.constData() + pos_, pattern.constData(),
                                                      static_cast<size_t>(pattern.size())) == 0;
}

// With `anyLine` the line starts at the parse position whatever it holds;
// otherwise after `pattern`, which must stand there. In the final call no
// more data comes, so a line without an end runs to the end of the data.
clsPJLStreamProcessor::Match clsPJLStreamProcessor::findPattern(const QByteArray& pattern, bool wantLine,
                                                                bool anyLine, bool final) const {
  Match match;
  const auto patternLength = static_cast<qint32>(pattern.size());
  if (available() < patternLength) {
    match.status = final ? 0 : -1;
    return match;
  }
  if (!anyLine && !startsWith(pattern)) return match;
  const qint32 skip = anyLine ? 0 : patternLength;
  match.status = 1;
  match.length = skip;
  if (!wantLine) return match;
  const qint32 spanLength = qMin(available() - skip, kLongestLine);
  if (spanLength < 2 && !final) {
    match.status = -1;
    return match;
  }
  const QByteArrayView span(buffer_.constData() + pos_ + skip, spanLength);
  qint32 termLen = 0;
  qint32 start = 0;
  const qint32 end = FindLineEnd(span, termLen, start);
  if (end < 0) {
    if (spanLength == kLongestLine) {
      // Too long for a header line: only the pattern goes (a whole stretch of an unknown record).
      match.length = anyLine ? kLongestLine : skip;
      return match;
    }
    if (!final) {
      match.status = -1;
      return match;
    }
    match.length = skip + spanLength;
    match.text = fromAnsi(span.data(), span.size());
    return match;
  }
  if (termLen == 0 && !anyLine) {
    // A line ended by ESC is no header line.
    match.status = 0;
    return match;
  }
  match.length = skip + end;
  match.terminated = termLen > 0;
  if (match.terminated) match.terminatorLength = terminatorAt(pos_ + match.length, 0);
  match.text = fromAnsi(span.data(), end);
  return match;
}

qint32 clsPJLStreamProcessor::terminatorAt(qint32 at, int slot) const {
  qint32 length = 0;
  for (; slot < kLineEndSlots && at + length < fill_; ++slot)
    if (buffer_[at + length] == lineEndByte(slot)) ++length;
  return length;
}

void clsPJLStreamProcessor::consumeLine(const Match& match, bool final) {
  pos_ += match.length;
  if (match.terminated) skipLineEnd(0, final);
}

void clsPJLStreamProcessor::skipLineEnd(int slot, bool final) {
  pendingLineEnd_ = -1;
  for (; slot < kLineEndSlots; ++slot) {
    if (pos_ == fill_) {
      if (!final) pendingLineEnd_ = slot;
      return;
    }
    if (buffer_[pos_] == lineEndByte(slot)) ++pos_;
  }
}
