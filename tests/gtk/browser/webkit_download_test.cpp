// Downloads: offered to the window that binds OnFileDownload (the popup window), then saved
// where the user chooses; a window that takes a download over gets no save dialog.
#include <gtest/gtest.h>

#include "test_support.h"
#include "webkit_fixture.h"

namespace kelvra::browser::gtk::test {
namespace {

struct Downloads {
    kelvra::test::TempDir dir;
    std::vector<std::string> asked;  // suggested names the save dialog was opened with
    bool refuse = false;
};

WebKitBackendOptions SaveInto(Downloads& d) {
    WebKitBackendOptions options;
    options.choose_download_path =
        [&d](GtkWidget* view, const std::string& suggested) -> std::optional<std::string> {
        EXPECT_NE(view, nullptr);
        d.asked.push_back(suggested);
        if (d.refuse)
            return std::nullopt;
        return d.dir.File("saved-" + std::to_string(d.asked.size()) + ".txt");
    };
    return options;
}

class DownloadTest : public ::testing::Test {
  protected:
    DownloadTest() : f(SaveInto(downloads)) {
        server.Page("/start", "<title>Start</title>");
        server.Page("/report", "lesson report", "application/octet-stream",
                    {{"Content-Disposition", "attachment; filename=\"report.txt\""}});
        server.Page("/inline.bin", "binary", "application/x-kelvra-unknown");
    }
    std::string Saved(int n) {
        std::string path = downloads.dir.File("saved-" + std::to_string(n) + ".txt");
        return kelvra::test::PathExists(path) ? kelvra::test::ReadBytes(path) : "";
    }

    PageServer server;
    Downloads downloads;
    WebKitFixture f;
};

TEST_F(DownloadTest, PopupOffersTheDownloadThenSavesWhereTheUserChooses) {
    THostedBrowser& popup = f.AddBrowser("TFrmBrowser");
    std::vector<std::string> offered;
    popup.OnFileDownload = [&](THostedBrowser&, const FileDownloadRequest& request,
                               HResult& result) {
        EXPECT_EQ(result, kENotImpl);
        offered.push_back(request.pszRedir);
    };
    f.Load(popup, server.Url("/start"));
    popup.Navigate(server.Url("/report"));
    ASSERT_TRUE(PumpUntil([&] { return Saved(1) == "lesson report"; }));
    EXPECT_EQ(offered, std::vector<std::string>{server.Url("/report")});
    ASSERT_EQ(downloads.asked.size(), 1u);
    EXPECT_EQ(downloads.asked[0], "report.txt");
    EXPECT_EQ(popup.LocationName(), "Start") << "the page stays";

    // A type WebKit cannot show is downloaded too.
    popup.Navigate(server.Url("/inline.bin"));
    ASSERT_TRUE(PumpUntil([&] { return Saved(2) == "binary"; }));
    EXPECT_EQ(offered.size(), 2u);
}

TEST_F(DownloadTest, AWindowTakingTheDownloadOverGetsNoDialogAndCancellingSavesNothing) {
    THostedBrowser& popup = f.AddBrowser("TFrmBrowser");
    int offered = 0;
    popup.OnFileDownload = [&](THostedBrowser&, const FileDownloadRequest&, HResult& result) {
        ++offered;
        result = kSOk;
    };
    THostedBrowser& main = f.AddBrowser("TFrmMain");  // binds no download handler
    f.Load(popup, server.Url("/start"));
    f.Load(main, server.Url("/start"));

    popup.Navigate(server.Url("/report"));
    ASSERT_TRUE(PumpUntil([&] { return offered == 1; }));

    downloads.refuse = true;
    main.Navigate(server.Url("/report"));
    ASSERT_TRUE(PumpUntil([&] { return downloads.asked.size() == 1; }))
        << "the main window goes straight to the dialog";
    PumpUntil([] { return false; }, std::chrono::milliseconds(300));
    EXPECT_EQ(downloads.asked.size(), 1u) << "the popup's own download asked nothing";
    EXPECT_EQ(Saved(1), "");
    EXPECT_TRUE(f.boxes.shown.empty());
}

}  // namespace
}  // namespace kelvra::browser::gtk::test
