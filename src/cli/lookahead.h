// busview-report's way through hundreds of devices: the requests of the
// pieces of the scan that lie ahead run on request blocks of their own,
// several at once, while the reports still run one after the other, in the
// window's order, and are served the answers instead of asking the layer.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <list>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "aspi/executor.h"
#include "aspi/recorded_request.h"
#include "reports/report_window.h"
#include "reports/survey.h"
#include "reports/unit.h"

// A part of the scan whose requests go one after the other: an adapter's
// own requests, a target's search for its logical units, or the report of
// one unit.
struct ScanPiece {
  enum class Kind { Adapter, Target, Unit };
  Kind kind;
  Unit unit;
  // The adapter's traits, for the pieces after its own.
  AdapterTraits traits;
};

// What a scan asks, piece by piece, for the lookahead.
class ScanPlan {
 public:
  virtual ~ScanPlan() = default;
  // Makes the requests of `piece` through ExecuteRequest and writes through
  // MainWindow, as the scan itself will; returns the pieces that come right
  // after it (its targets or units, and the next adapter after an adapter).
  virtual std::vector<ScanPiece> Ask(const ScanPiece& piece) = 0;
};

class Lookahead {
 public:
  // Starting with the pieces `first`, asks ahead with at most `perAdapter`
  // requests of one adapter under way at once; with fewer than 2 nothing
  // runs ahead and Enter does nothing. `window` is the scan's: the plan's
  // requests read its display mode.
  Lookahead(ScanPlan& plan, std::vector<ScanPiece> first, ReportWindow& window, int perAdapter);
  // Leaves the requests the layer still has to the threads that wait for
  // them, which end on their own: the scan's end never waits for a device.
  // The other threads have ended when it returns.
  ~Lookahead();
  Lookahead(const Lookahead&) = delete;
  Lookahead& operator=(const Lookahead&) = delete;

  // The scan is about to run the piece of `kind` at `unit`: waits until the
  // plan has had all its requests answered, then serves them to
  // ExecuteRequest, in their order and each once, until the next Enter. A
  // request they do not hold goes to the layer, and so does every later
  // one of the piece.
  void Enter(ScanPiece::Kind kind, const Unit& unit);

  // Requests served so far, and requests of entered pieces that went to
  // the layer.
  int served() const { return entered_.served; }
  int missed() const { return entered_.missed; }

 private:
  enum class State { Ready, Asking, Answered };
  struct Piece {
    explicit Piece(const ScanPiece& piece) : what(piece) {}
    ScanPiece what;
    // Stable while more are added: a runner may be filling the last.
    std::deque<RecordedRequest> requests;
    State state = State::Ready;
    bool dropped = false;
  };
  using Pieces = std::list<Piece>;

  class EnteredAnswers : public RequestAnswers {
   public:
    bool Answer(SRB& block, bool notify) override;
    // Once a piece is entered, with its requests (none for a piece the
    // plan does not have).
    bool entered = false;
    std::deque<RecordedRequest>* requests = nullptr;
    std::size_t next = 0;
    bool missing = false;
    int served = 0, missed = 0;
  };

  // A request for a runner: to be made (`send`), or to be waited for.
  struct Job {
    Piece* piece;
    RecordedRequest* request;
    bool send;
  };

  Pieces::iterator Find(ScanPiece::Kind kind, const Unit& unit);
  bool MakeProgress();
  bool RunAhead();
  void AskPlan(Pieces::iterator piece);
  void StartRequest(Piece& piece, bool send);
  static void Finish(const Job& job);
  void TakeAnswers();
  void Drop(Pieces::iterator first, Pieces::iterator last);
  struct Shared;
  static void RunRequests(const std::shared_ptr<Shared>& shared, std::size_t runner);

  ScanPlan& plan_;
  ReportWindow& window_;
  const int perAdapter_;
  Pieces pieces_;    // from the entered one on, in the scan's order
  Pieces dropped_;   // passed over while a request of theirs was under way
  int ready_ = 0;    // pieces the plan is to be asked about
  std::map<std::int32_t, int> underWay_;  // requests per adapter
  int underWayTotal_ = 0;
  EnteredAnswers entered_;

  // Shared with the runners, which may outlive the lookahead: the pieces
  // whose requests are still under way at its end are kept here.
  struct Shared {
    std::mutex mutex;
    std::condition_variable work, answered;
    std::deque<Job> jobs;
    std::vector<Piece*> answers;
    int idle = 0;
    bool ending = false;
    // Per runner: it found nothing more to do at the end and is leaving.
    std::vector<bool> leaving;
    Pieces kept;
  };
  std::shared_ptr<Shared> shared_ = std::make_shared<Shared>();
  std::vector<std::thread> runners_;
};
