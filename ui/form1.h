#pragma once

#include <QTimer>
#include <QWidget>
#include <array>
#include <memory>
#include <optional>

#include "message_boxes.h"
#include "module1.h"
#include "queued_host.h"
#include "run/optimisation_run.h"
#include "run/run_host.h"
#include "run/run_thread.h"
#include "volumes.h"

namespace Ui {
class Form1;
}

namespace slimtag {

class FilePanel;
class Form2;
class OptionBox;
class RpButton;

// What the window uses of the desktop; each left empty is the real one.
struct WindowServices {
  std::unique_ptr<MessageBoxes> message_boxes;
  std::unique_ptr<Volumes> volumes;
  std::unique_ptr<Shell> shell;
  // The file system the runs work on.
  std::unique_ptr<Platform> platform;
};

// The main window. It owns the optimisation run and its state, and is the run's host: a run is
// asked for with the boxes, the fields and the file list as they stand, works on a thread of its
// own while the window paints and ignores the user's input, and shows itself in the title, the
// pointer and one message box. Closed during a run, the window asks whether to stop it.
class Form1 : public QWidget, public RunHost {
  Q_OBJECT

 public:
  // Creating the window runs its load handler.
  explicit Form1(WindowServices services = {});
  ~Form1() override;

  // What the settings store held for "ad" and "run" at load.
  int AdFlag() const { return ad_flag_; }
  int RunMarker() const { return run_marker_; }

  const RunState& LastRun() const { return optimiser_.State(); }

  // The banner window, from the load handler on when AdFlag is 1, until the window unloads.
  Form2* Banner() const { return banner_.get(); }

  // What the optimise button asks of the run.
  RunRequest Request() const;
  // From the optimise button's click until the run's end is shown.
  bool Running() const { return running_; }

  // RunHost, on the window's thread.
  void PageStarted(const std::string& name) override;
  void RunFinished(const RunResult& result) override;

 signals:
  // A run's end is shown (and the window closed, when the user asked for that meanwhile).
  void RunEnded();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void moveEvent(QMoveEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  void Load();
  void Unload();
  // A navigation button and the panel it shows.
  struct Page {
    RpButton* button;
    QWidget* panel;
  };
  std::array<Page, 4> Pages() const;
  void NavigationClick(RpButton* clicked);
  void Check12Click();
  void Check13Click();
  void ClearFieldsClick();
  void Command1Click();
  void Label7Click();
  void Label5Click();
  void Label21Click();
  void StyleAboutPanel();
  void ShowBanner();
  void Timer1Tick();
  void PlaceBanner();
  void CentreFrame();
  void KeepFrameCentred();
  OptionBox* Box(int number) const;
  void SetBusyPointer(bool busy);
  void SetRunning(bool running);
  void AskToStop();

  std::unique_ptr<Ui::Form1> ui_;
  std::unique_ptr<MessageBoxes> message_boxes_;
  std::unique_ptr<Volumes> volumes_;
  std::unique_ptr<Shell> shell_;
  FilePanel* file_panel_ = nullptr;
  QTimer* timer1_ = nullptr;
  std::unique_ptr<Form2> banner_;                  // a window of its own: no Qt parent
  std::array<OptionBox*, kBoxCount + 1> boxes_{};  // by box number; 0 unused
  std::unique_ptr<Platform> platform_;
  Optimiser optimiser_{*platform_};
  int ad_flag_ = 0;
  int run_marker_ = 0;
  bool busy_ = false;
  bool running_ = false;
  bool asking_ = false;                          // whether to stop the run
  bool close_when_finished_ = false;             // the user chose to stop and close
  std::optional<RunResult> finished_meanwhile_;  // a run's end told while the user was asked
  QString optimise_tip_;                         // Command1's tip, shown while it can optimise
  QSize centred_frame_;                          // the frame size the window was last centred with
  bool frame_known_ = false;
  QueuedHost queued_{*this, *this};     // what the run tells, on the window's thread
  RunThread run_{optimiser_, queued_};  // last: its run ends before anything else goes
};

// "Slimtag v2.5": the window's title.
QString WindowTitle();
// "Slimtag v2.5.22": the product line.
QString ProductLine();

}  // namespace slimtag
