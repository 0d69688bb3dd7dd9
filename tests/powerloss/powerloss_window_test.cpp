// The window's run on the power-loss file system: after a power cut at any moment of a run, each
// page holds its old or its new content and each backup copy under a page's name is complete.

#include <sys/stat.h>

#include "powerloss_harness.h"
#include "window_fixture.h"

namespace slimtag {
namespace {

using powerloss::PageContents;

class PowerLossWindowTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    const std::string skip = mount_.Mount();
    if (!skip.empty()) GTEST_SKIP() << skip;
    ASSERT_TRUE(mount_.Mounted());
  }

  // Optimises every page of folder with the boxes ticked; the message it showed.
  ShownMessage Optimise(const std::string& folder) {
    messages_.clear();
    ShowFolder(QString::fromStdString(folder));
    Click("Command2");  // every page
    WindowTest::Optimise();
    EXPECT_EQ(messages_.size(), 1u);
    return messages_.empty() ? ShownMessage{} : messages_.back();
  }

  powerloss::PowerLossMount mount_;
};

// The new files are copies made beside the pages: the run's temporary file lies in the working
// directory on another file system.
TEST_F(PowerLossWindowTest, PagesAndBackupsAreWholeAfterAPowerCutAtAnyMoment) {
  std::vector<PageContents> pages = powerloss::SpacedPages();
  Start();
  Click("rpButton2");
  Click("Check6");  // backup copies
  Click("Check7");  // the space entity
  ASSERT_EQ(window_->Request().options.box.at(std::size_t(6)), 1);
  ASSERT_EQ(window_->Request().options.box.at(std::size_t(7)), 1);

  // What the run makes of the pages on an ordinary folder.
  powerloss::ScratchFolder reference;
  ASSERT_NO_FATAL_FAILURE(powerloss::WritePagesDurably(reference.Path(), pages));
  const ShownMessage on_disk = Optimise(reference.Path());
  ASSERT_EQ(on_disk.icon, MessageIcon::kInformation) << on_disk.text.toStdString();
  const std::vector<std::string> after = powerloss::ReadPages(reference.Path(), pages);
  for (std::size_t i = 0; i < pages.size(); ++i) {
    pages[i].after = after[i];
    ASSERT_NE(pages[i].after, pages[i].before) << pages[i].name << ": the run must change it";
  }

  const std::string folder = mount_.Root() + "/pages";
  ASSERT_EQ(::mkdir(folder.c_str(), 0755), 0);
  ASSERT_NO_FATAL_FAILURE(powerloss::WritePagesDurably(folder, pages));
  ASSERT_NO_FATAL_FAILURE(powerloss::MarkRunStart(mount_.Root()));
  const ShownMessage run = Optimise(folder);
  EXPECT_EQ(run.icon, MessageIcon::kInformation);
  EXPECT_TRUE(run.text.startsWith(QStringLiteral("20 файл(ов) обработано.\n")))
      << run.text.toStdString();
  EXPECT_EQ(powerloss::ReadPages(folder, pages), after) << "as readers see the pages";

  window_.reset();  // nothing of the window's may hold the mount
  const std::vector<powerloss::Cut> cuts = mount_.UnmountAndReadCuts();
  ASSERT_FALSE(cuts.empty());
  powerloss::ExpectPagesWholeAtEveryCut(cuts, "pages", pages);
}

}  // namespace
}  // namespace slimtag
