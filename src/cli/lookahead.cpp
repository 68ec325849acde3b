#include "cli/lookahead.h"

#include <algorithm>
#include <array>
#include <string>
#include <system_error>

#include "aspi/request_block.h"

namespace {

// Requests under way at once, at most, whatever the adapters: each holds a
// thread that waits for it, and the layer has its own per command besides.
constexpr int MostUnderWay = 64;
// Pieces asked ahead of the one the scan is in, at most: their answers are
// kept until the scan gets there.
constexpr int MostAhead = 4096;

// The window the plan's requests run with: it shows nothing, but reads the
// display mode of the scan's own.
class QuietWindow final : public ReportWindow {
 public:
  explicit QuietWindow(ReportWindow& shown) : shown_(shown) {}
  void ClearMemo1() override {}
  void AppendMemo1(const std::string&) override {}
  void AppendMemo2(const std::string&) override {}
  void AddComboBox2Item(const std::string&) override {}
  bool RadioButton2Checked() override { return shown_.RadioButton2Checked(); }
  void ShowErrorBox(const std::string&) override {}
  void RequestEnd() override {}

 private:
  ReportWindow& shown_;
};

// The program-wide values a run of the plan changes, put back after it:
// the scan is between two of its own requests, and goes on from them.
class ProgramValuesKept {
 public:
  ProgramValuesKept()
      : block_(RequestBlock),
        adapterCount_(AdapterCount),
        currentAdapter_(CurrentAdapter),
        currentTarget_(CurrentTarget),
        byteIndex_(ByteIndex),
        fieldValue_(FieldValue),
        workText_(WorkText),
        window_(MainWindow),
        answers_(AnswersFirst) {
    std::copy_n(DataBuffer, DataBufferSize, data_.begin());
  }
  ~ProgramValuesKept() {
    RequestBlock = block_;
    std::copy(data_.begin(), data_.end(), DataBuffer);
    AdapterCount = adapterCount_;
    CurrentAdapter = currentAdapter_;
    CurrentTarget = currentTarget_;
    ByteIndex = byteIndex_;
    FieldValue = fieldValue_;
    WorkText = workText_;
    MainWindow = window_;
    AnswersFirst = answers_;
  }
  ProgramValuesKept(const ProgramValuesKept&) = delete;
  ProgramValuesKept& operator=(const ProgramValuesKept&) = delete;

 private:
  SRB block_;
  std::array<std::uint8_t, DataBufferSize> data_;
  std::int32_t adapterCount_, currentAdapter_, currentTarget_, byteIndex_, fieldValue_;
  std::string workText_;
  ReportWindow* window_;
  RequestAnswers* answers_;
};

// A run of the plan for one piece: the requests answered before are
// answered again; the first one without an answer is recorded, to be made,
// and it and every later one are left pending, which ends the run soon.
class AnswersSoFar final : public RequestAnswers {
 public:
  explicit AnswersSoFar(std::deque<RecordedRequest>& requests) : requests_(requests) {}

  bool Answer(SRB& block, bool notify) override {
    if (!cut_) {
      if (next_ < requests_.size() && AsksTheSame(requests_[next_], block, notify)) {
        HandBack(requests_[next_++], block);
        return true;
      }
      cut_ = true;
      // A run that asks otherwise than before cannot be served; the scan
      // asks that piece itself.
      if (next_ < requests_.size()) {
        strayed = true;
      } else {
        requests_.push_back(RecordRequest(block, notify));
        wanting = true;
      }
    }
    block.SRB_Status = SS_PENDING;
    return true;
  }

  bool wanting = false;
  bool strayed = false;

 private:
  std::deque<RecordedRequest>& requests_;
  std::size_t next_ = 0;
  bool cut_ = false;
};

bool Is(const ScanPiece& piece, ScanPiece::Kind kind, const Unit& unit) {
  return piece.kind == kind && piece.unit.adapter == unit.adapter &&
         piece.unit.target == unit.target && piece.unit.lun == unit.lun;
}

}  // namespace

bool Lookahead::EnteredAnswers::Answer(SRB& block, bool notify) {
  if (!entered) return false;
  if (!missing && requests != nullptr && next < requests->size() &&
      AsksTheSame((*requests)[next], block, notify)) {
    HandBack((*requests)[next++], block);
    ++served;
    return true;
  }
  // Later answers were made after this one; they would not fit any more.
  missing = true;
  ++missed;
  return false;
}

Lookahead::Lookahead(ScanPlan& plan, std::vector<ScanPiece> first, ReportWindow& window,
                     int perAdapter)
    : plan_(plan), window_(window), perAdapter_(perAdapter) {
  if (perAdapter_ < 2) return;
  for (const ScanPiece& piece : first) pieces_.emplace_back(piece);
  ready_ = static_cast<int>(pieces_.size());
}

Lookahead::~Lookahead() {
  if (AnswersFirst == &entered_) AnswersFirst = nullptr;
  {
    const std::lock_guard lock(shared_->mutex);
    shared_->ending = true;
    // A request not yet made is left; one the layer has stays with its
    // runner, which hands it to the executor's keeping if its wait ends
    // first, and the piece it fills stays with the runners.
    std::erase_if(shared_->jobs, [](const Job& job) { return job.send; });
    for (Pieces* pieces : {&pieces_, &dropped_}) {
      for (auto it = pieces->begin(); it != pieces->end();) {
        const auto next = std::next(it);
        if (it->state == State::Asking) shared_->kept.splice(shared_->kept.end(), *pieces, it);
        it = next;
      }
    }
  }
  shared_->work.notify_all();
  // A runner that ends while the program ends races it (Wine has been seen
  // to kill or crash such a program), so those with nothing to do are
  // joined; a runner still waiting for a request is left to it.
  std::vector<bool> leaving;
  {
    std::unique_lock lock(shared_->mutex);
    shared_->answered.wait(lock, [this] { return shared_->idle == 0; });
    leaving = shared_->leaving;
  }
  for (std::size_t i = 0; i < runners_.size(); ++i) {
    if (leaving[i]) {
      runners_[i].join();
    } else {
      runners_[i].detach();
    }
  }
}

void Lookahead::Enter(ScanPiece::Kind kind, const Unit& unit) {
  if (perAdapter_ < 2) return;
  AnswersFirst = &entered_;
  entered_.entered = true;
  entered_.requests = nullptr;
  entered_.next = 0;
  entered_.missing = true;
  const Pieces::iterator found = Find(kind, unit);
  if (found == pieces_.end()) return;
  Drop(pieces_.begin(), found);
  while (found->state != State::Answered) MakeProgress();
  entered_.requests = &found->requests;
  entered_.missing = false;
}

Lookahead::Pieces::iterator Lookahead::Find(ScanPiece::Kind kind, const Unit& unit) {
  // The piece may come from one not yet answered.
  while (true) {
    const auto found = std::find_if(pieces_.begin(), pieces_.end(),
                                    [&](const Piece& piece) { return Is(piece.what, kind, unit); });
    if (found != pieces_.end() || !MakeProgress()) return found;
  }
}

bool Lookahead::MakeProgress() {
  const bool asked = RunAhead();
  if (underWayTotal_ == 0) return asked;
  TakeAnswers();
  return true;
}

bool Lookahead::RunAhead() {
  bool asked = false;
  int ahead = 0;
  for (auto it = pieces_.begin(); it != pieces_.end() && ready_ > 0 && ahead < MostAhead; ++it) {
    if (it->state == State::Ready) {
      if (underWayTotal_ >= MostUnderWay) break;
      if (underWay_[it->what.unit.adapter] < perAdapter_) {
        AskPlan(it);
        asked = true;
      }
    }
    if (it->state != State::Ready || !it->requests.empty()) ++ahead;
  }
  return asked;
}

void Lookahead::AskPlan(Pieces::iterator piece) {
  --ready_;
  while (true) {
    QuietWindow quiet(window_);
    AnswersSoFar answers(piece->requests);
    std::vector<ScanPiece> after;
    {
      const ProgramValuesKept kept;
      MainWindow = &quiet;
      AnswersFirst = &answers;
      after = plan_.Ask(piece->what);
    }
    if (!answers.wanting) {
      piece->state = State::Answered;
      if (answers.strayed) return;
      const auto next = std::next(piece);
      for (const ScanPiece& what : after) pieces_.emplace(next, what);
      ready_ += static_cast<int>(after.size());
      return;
    }
    // A request goes to the layer from here, and the plan is asked again at
    // once when it answers in the call; a runner waits for a later answer.
    // A disk information request, which a layer may work on for its whole
    // wait inside the call, goes to a runner whole.
    RecordedRequest& request = piece->requests.back();
    const bool sendHere = request.asked.SRB_Cmd != SC_GET_DISK_INFO;
    if (sendHere && SendRequest(request)) continue;
    StartRequest(*piece, !sendHere);
    return;
  }
}

void Lookahead::StartRequest(Piece& piece, bool send) {
  piece.state = State::Asking;
  ++underWay_[piece.what.unit.adapter];
  ++underWayTotal_;
  Shared& shared = *shared_;
  std::unique_lock lock(shared.mutex);
  shared.jobs.push_back({.piece = &piece, .request = &piece.requests.back(), .send = send});
  if (shared.idle < static_cast<int>(shared.jobs.size())) {
    try {
      runners_.emplace_back([shared = shared_, runner = runners_.size()] { RunRequests(shared, runner); });
      shared.leaving.push_back(false);
      ++shared.idle;
    } catch (const std::system_error&) {
      // Without a thread of its own the request waits for a runner, or,
      // without any, is made here.
      if (runners_.empty()) {
        const Job job = shared.jobs.back();
        shared.jobs.pop_back();
        lock.unlock();
        Finish(job);
        lock.lock();
        shared.answers.push_back(&piece);
        return;
      }
    }
  }
  shared.work.notify_one();
}

void Lookahead::Finish(const Job& job) {
  if (job.send) {
    RunRequest(*job.request);
  } else {
    AwaitRequest(*job.request);
  }
}

void Lookahead::TakeAnswers() {
  std::vector<Piece*> answered;
  {
    std::unique_lock lock(shared_->mutex);
    shared_->answered.wait(lock, [this] { return !shared_->answers.empty(); });
    answered.swap(shared_->answers);
  }
  for (Piece* piece : answered) {
    --underWay_[piece->what.unit.adapter];
    --underWayTotal_;
    if (piece->dropped) {
      dropped_.remove_if([piece](const Piece& p) { return &p == piece; });
    } else {
      piece->state = State::Ready;
      ++ready_;
    }
  }
}

void Lookahead::Drop(Pieces::iterator first, Pieces::iterator last) {
  for (auto it = first; it != last;) {
    const auto next = std::next(it);
    if (it->state == State::Asking) {
      it->dropped = true;
      dropped_.splice(dropped_.end(), pieces_, it);
    } else {
      if (it->state == State::Ready) --ready_;
      pieces_.erase(it);
    }
    it = next;
  }
}

void Lookahead::RunRequests(const std::shared_ptr<Shared>& shared, std::size_t runner) {
  std::unique_lock lock(shared->mutex);
  while (true) {
    shared->work.wait(lock, [&shared] { return shared->ending || !shared->jobs.empty(); });
    if (shared->jobs.empty()) {
      --shared->idle;
      shared->leaving[runner] = true;
      shared->answered.notify_all();
      return;
    }
    const Job job = shared->jobs.front();
    shared->jobs.pop_front();
    --shared->idle;
    lock.unlock();
    Finish(job);
    lock.lock();
    ++shared->idle;
    shared->answers.push_back(job.piece);
    shared->answered.notify_one();
  }
}
