#include "NetTestSupport.h"
#include "RecordingPrompt.h"
#include "app/CGLView.h"
#include "app/CMainFrame.h"
#include "app/CVolumiraApp.h"
#include "app/DesktopAssociation.h"
#include "app/OpenRequests.h"
#include "app/ProgressDialog.h"
#include "app/Prompt.h"
#include "app/TerminationSignals.h"
#include "atlas/ReferenceAtlas.h"
#include "bookmarks/BookmarksFile.h"
#include "document/CVolumiraDoc.h"
#include "expression/GeneExpression.h"
#include "preferences/MemorySettingsStore.h"
#include "preferences/UserPreferences.h"
#include "sample-data/SampleAtlas.h"
#include "search/SearchConfig.h"
#include "support/TempDir.h"

#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QLocalSocket>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QSettings>
#include <QTest>
#include <QTimer>
#include <QtEndian>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <csignal>
#include <filesystem>
#include <future>
#include <gtest/gtest.h>
#include <map>
#include <mutex>
#include <stdexcept>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>
#include <xcb/xcb.h>

namespace volumira {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// The sample atlas, written once per binary and unpacked, read through the process-wide accessors as the
// program does. The socket folder is private to this process.
class SampleData {
  public:
    static SampleData& get() {
        static SampleData data;
        return data;
    }
    std::string dataDir() const { return dir_.path() + "/Data/"; }
    std::string geneFile(const std::string& symbol) const { return dir_.file(symbol + ".xpr"); }

  private:
    SampleData() {
        sample::writeSampleAtlas(dataDir(), sample::SampleGrid::full());
        fs::create_directories(dir_.path() + "/Atlas");
        fs::create_directories(dir_.path() + "/User");
        ::setenv("VOLUMIRA_DATA_DIR", dataDir().c_str(), 1);
        ::setenv("VOLUMIRA_ATLAS_DIR", (dir_.path() + "/Atlas/").c_str(), 1);
        ::setenv("VOLUMIRA_USER_DIR", (dir_.path() + "/User/").c_str(), 1);
        ReferenceAtlas::instance().unpack(nullptr, nullptr, nullptr);
        SearchConfig::instance();
        for (const char* symbol : {"Gad1", "Pvalb", "Sst"})
            GeneExpression(std::string(symbol) + " name", symbol).saveExpression(geneFile(symbol));
    }
    test::TempDir dir_;
};

using test::RecordingPrompt;

// A gate the worker waits at until the test opens it; it opens when it goes, so no worker is left waiting.
class Gate {
  public:
    ~Gate() { open(); }
    void open() {
        std::lock_guard lock(mutex_);
        open_ = true;
        changed_.notify_all();
    }
    void wait() {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return open_; });
    }

  private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool open_ = false;
};

enum class Unpacking { AlreadyDone, Succeeds, Throws, ThrowsOther, RunsUntilCancelled };

// The program's resources over the sample atlas, with an unpacking the test scripts.
class ScriptedResources : public AppResources {
  public:
    ReferenceAtlas& loadAtlas() override {
        steps.push_back("load");
        if (missingFiles) throw std::runtime_error("Could not open ontology.csv");
        return ReferenceAtlas::instance();
    }
    bool atlasUnpacked() override { return unpacking == Unpacking::AlreadyDone; }
    bool unpackAtlas(ProgressCallback callback, void* data, const CancelFlag* cancel) override {
        steps.push_back("unpack");
        callback(0.25f, data);
        callback(0.5f, data);
        if (unpacking == Unpacking::RunsUntilCancelled) {
            while (!*cancel) std::this_thread::sleep_for(1ms);
            sawCancel = true;
        }
        gate.wait();
        workerEnded = true;
        switch (unpacking) {
        case Unpacking::Throws: throw std::runtime_error("No space left on device.");
        case Unpacking::ThrowsOther: throw 42;
        case Unpacking::RunsUntilCancelled: return false;
        default: callback(1.0f, data); return true;
        }
    }
    std::string atlasDirectory() override { return "/var/lib/volumira/Atlas/"; }
    VersionCheckSettings versionCheckSettings() override { return {versionsUrl, 1, {}}; }
    void release() override { steps.push_back("release"); }

    bool missingFiles = false;
    Unpacking unpacking = Unpacking::AlreadyDone;
    std::string versionsUrl;
    Gate gate;
    std::atomic<bool> sawCancel{false}, workerEnded{false};
    std::vector<std::string> steps;
};

class StartupTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        static test::TempDir runtime;
        ::setenv("XDG_RUNTIME_DIR", runtime.path().c_str(), 1);
        CGLView::configureSurfaceFormat(formatPreferences());
        static int argc = 1;
        static char name[] = "startup_tests";
        static char* argv[] = {name, nullptr};
        static QApplication application(argc, argv);
        SampleData::get();
    }
    static UserPreferences& formatPreferences() {
        static MemorySettingsStore store;
        static UserPreferences preferences(store, PreferencesEnvironment::ofProcess());
        return preferences;
    }

    StartupTest() {
        // The check is not due unless a test asks for it.
        preferences.setAutomaticVersionCheck(false);
    }

    std::unique_ptr<CVolumiraApp> makeApp(VersionCheck::Hooks hooks = {}) {
        return std::make_unique<CVolumiraApp>(resources, preferences, store, prompt, std::move(hooks), places());
    }
    QString socketName() const { return QString::fromStdString(xdg.file("socket")); }
    DesktopPlaces places() const {
        return {xdg.path() + "/config", xdg.path() + "/data", {xdg.path() + "/system"}, "/opt/volumira/bin/volumira"};
    }
    // Runs the action once the unpacking box is the active modal window, from inside its event loop.
    static void whenUnpacking(std::function<void(ProgressDialog&)> action) {
        auto* poll = new QTimer;
        poll->setInterval(5);
        QObject::connect(poll, &QTimer::timeout, [poll, action] {
            auto* dialog = dynamic_cast<ProgressDialog*>(QApplication::activeModalWidget());
            if (!dialog || !dialog->isVisible()) return;
            poll->stop();
            poll->deleteLater();
            action(*dialog);
        });
        poll->start();
    }
    std::vector<std::string> openSymbols(CVolumiraApp& app) {
        std::vector<std::string> symbols;
        BrainExpressionModel& model = app.document()->detailModel();
        for (int i = 0; i < model.geneCount(); ++i) symbols.push_back(model.geneAt(i).symbol());
        return symbols;
    }

    test::TempDir xdg;
    MemorySettingsStore store;
    UserPreferences preferences{store, PreferencesEnvironment::ofProcess()};
    RecordingPrompt prompt;
    ScriptedResources resources;
};

// ---- start-up and unpacking ----

TEST_F(StartupTest, MissingFilesEndTheStartWithTheMessage) {
    resources.missingFiles = true;
    {
        auto app = makeApp();
        EXPECT_FALSE(app->start({}));
        EXPECT_EQ(app->frame(), nullptr);
    }
    EXPECT_EQ(prompt.errors, std::vector<std::string>{CVolumiraApp::kMissingFiles});
    EXPECT_EQ(resources.steps, (std::vector<std::string>{"load", "release"}));
}

TEST_F(StartupTest, AFirstStartUnpacksUnderTheBoxAndShowsTheWindowAfterwards) {
    resources.unpacking = Unpacking::Succeeds;
    auto app = makeApp();
    bool checked = false;
    whenUnpacking([&](ProgressDialog& dialog) {
        EXPECT_EQ(dialog.windowTitle(), "Volumira");
        EXPECT_EQ(dialog.text().text(), "Unpacking reference atlas...");
        EXPECT_EQ(dialog.progressBar().minimum(), 0);
        EXPECT_EQ(dialog.progressBar().maximum(), 100);
        EXPECT_EQ(dialog.quitButton().text(), "Quit");
        EXPECT_TRUE(QTest::qWaitFor([&] { return dialog.progressBar().value() == 50; }));
        EXPECT_FALSE(app->frame()->isVisible());
        checked = true;
        resources.gate.open();
    });
    ASSERT_TRUE(app->start({}));
    EXPECT_TRUE(checked);
    EXPECT_TRUE(resources.workerEnded);
    EXPECT_TRUE(app->frame()->isVisible());
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    EXPECT_TRUE(prompt.errors.empty());
    EXPECT_EQ(resources.steps, (std::vector<std::string>{"load", "unpack"}));
}

TEST_F(StartupTest, QuitCleansUpWithoutAnErrorAndEndsOnceTheWorkerHasStopped) {
    resources.unpacking = Unpacking::RunsUntilCancelled;
    auto app = makeApp();
    whenUnpacking([&](ProgressDialog& dialog) {
        QTest::mouseClick(&dialog.quitButton(), Qt::LeftButton);
        EXPECT_EQ(dialog.text().text(), "Cleaning up...");
        EXPECT_FALSE(dialog.quitButton().isEnabled());
        EXPECT_TRUE(QTest::qWaitFor([&] { return resources.sawCancel.load(); }));
        // Neither Escape nor the window's close button ends the box while the worker runs.
        QTest::keyClick(&dialog, Qt::Key_Escape);
        dialog.close();
        QTest::qWait(20);
        EXPECT_TRUE(dialog.isVisible());
        EXPECT_FALSE(resources.workerEnded);
        resources.gate.open();
    });
    EXPECT_FALSE(app->start({}));
    EXPECT_TRUE(resources.workerEnded);
    EXPECT_TRUE(prompt.errors.empty());
    EXPECT_FALSE(app->frame()->isVisible());

    // The next start finds the atlas unpacked and shows no box.
    ScriptedResources unpacked;
    CVolumiraApp second(unpacked, preferences, store, prompt, {}, places());
    ASSERT_TRUE(second.start({}));
    EXPECT_EQ(unpacked.steps, std::vector<std::string>{"load"});
    EXPECT_TRUE(second.frame()->isVisible());
}

TEST_F(StartupTest, ATerminationSignalClosesTheWindowAsTheUserWouldAndTheOldHandlerComesBack) {
    auto app = makeApp();
    ASSERT_TRUE(app->start({}));
    ASSERT_TRUE(app->frame()->isVisible());
    struct sigaction before = {};
    ASSERT_EQ(::sigaction(SIGTERM, nullptr, &before), 0);
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
        int calls = 0;
        {
            TerminationSignals handlers([&] {
                ++calls;
                QApplication::closeAllWindows();
            });
            ASSERT_TRUE(handlers.installed());
            app->frame()->show();
            // The handler only wakes the event loop; the window closes there, with its usual saving.
            ASSERT_EQ(::raise(signal), 0);
            EXPECT_EQ(calls, 0);
            EXPECT_TRUE(QTest::qWaitFor([&] { return calls == 1; }, 10000)) << "signal " << signal;
            EXPECT_FALSE(app->frame()->isVisible());
        }
        struct sigaction after = {};
        ASSERT_EQ(::sigaction(SIGTERM, nullptr, &after), 0);
        EXPECT_EQ(after.sa_handler, before.sa_handler);
    }
    // The closing window saved its place.
    EXPECT_GT(store.readInteger(kSettingsSection, "Main Window Right", 0), 0);
}

TEST_F(StartupTest, AFailedUnpackTellsWhyAndEndsTheStart) {
    const struct {
        Unpacking unpacking;
        const char* error;
    } cases[] = {
        {Unpacking::Throws, "No space left on device."},
        {Unpacking::ThrowsOther,
         "Volumira could not complete its installation at /var/lib/volumira/Atlas/. Please make sure you have "
         "access permissions at this location and have 85 MB of free disk space."},
    };
    for (const auto& c : cases) {
        ScriptedResources failing;
        failing.unpacking = c.unpacking;
        failing.gate.open();
        prompt.errors.clear();
        CVolumiraApp app(failing, preferences, store, prompt, {}, places());
        EXPECT_FALSE(app.start({}));
        EXPECT_EQ(prompt.errors, std::vector<std::string>{c.error});
        EXPECT_FALSE(app.frame()->isVisible());
    }
}

TEST_F(StartupTest, TheCommandLineFileIsOpenedAndABadOneEndsTheStart) {
    {
        auto app = makeApp();
        ASSERT_TRUE(app->start({SampleData::get().geneFile("Gad1")}));
        EXPECT_EQ(openSymbols(*app), std::vector<std::string>{"Gad1"});
    }
    auto app = makeApp();
    EXPECT_FALSE(app->start({xdg.file("absent.xpr")}));
    ASSERT_EQ(prompt.errors.size(), 1u);
    EXPECT_NE(prompt.errors[0].find("absent.xpr"), std::string::npos) << prompt.errors[0];
}

TEST_F(StartupTest, TheDisplayIsJudgedBeforeTheWindowShowsAndDecliningASlowOneEndsTheStart) {
    // Sees whether the window shows when the slow display's question comes, and answers as told.
    class Judging : public RecordingPrompt {
      public:
        Judging(CVolumiraApp*& app, bool goOn) : app_(app), goOn_(goOn) {}
        bool askWarning(const std::string& text) override {
            warnings.push_back(text);
            windowShown.push_back(app_ && app_->frame() && app_->frame()->isVisible());
            return goOn_;
        }
        std::vector<std::string> warnings;
        std::vector<bool> windowShown;

      private:
        CVolumiraApp*& app_;
        bool goOn_;
    };
    for (const bool goOn : {false, true}) {
        SCOPED_TRACE(goOn);
        CVolumiraApp* current = nullptr;
        Judging judging(current, goOn);
        preferences.setAskedOptimizeVideoSettings(true);
        ScriptedResources resources;
        CVolumiraApp app(resources, preferences, store, judging, {}, places());
        current = &app;
        EXPECT_EQ(app.start({}), goOn);
        // The private X server draws in software.
        ASSERT_EQ(judging.warnings.size(), 1u);
        EXPECT_NE(judging.warnings[0].find("The display is not hardware accelerated."), std::string::npos);
        EXPECT_EQ(judging.windowShown, std::vector<bool>{false});
        EXPECT_EQ(app.frame()->isVisible(), goOn);
        EXPECT_TRUE(judging.errors.empty());
    }
}

// ---- open requests ----

QByteArray framed(const QByteArray& bytes) {
    QByteArray data(4, '\0');
    qToBigEndian<quint32>(static_cast<quint32>(bytes.size()), data.data());
    return data + bytes;
}

// Sends raw requests from another thread, as a later launch does, and returns the answers, one character
// per request ('A' taken, 'D' dropped).
std::string exchange(const QString& name, const std::vector<QByteArray>& requests) {
    auto answers = std::async(std::launch::async, [name, requests] {
        QLocalSocket socket;
        socket.connectToServer(name);
        if (!socket.waitForConnected(5000)) return std::string("no connection");
        for (const QByteArray& r : requests) socket.write(framed(r));
        socket.waitForBytesWritten(5000);
        std::string got;
        while (got.size() < requests.size() && socket.waitForReadyRead(5000)) got += socket.readAll().toStdString();
        return got;
    });
    EXPECT_TRUE(QTest::qWaitFor([&] { return answers.wait_for(0s) == std::future_status::ready; }, 20000));
    return answers.get();
}

QByteArray request(const std::string& path) {
    return openRequestText(QString::fromStdString(path)).toUtf8();
}

TEST_F(StartupTest, RequestsDuringTheUnpackingWaitAndAreCarriedOutInOrderOnceTheWindowShows) {
    resources.unpacking = Unpacking::Succeeds;
    auto app = makeApp();
    OpenRequestServer server(socketName(), [&](const QString& r) { return app->handleOpenRequest(r); });
    ASSERT_TRUE(server.listen());
    const std::string sst = SampleData::get().geneFile("Sst"), pvalb = SampleData::get().geneFile("Pvalb");
    whenUnpacking([&](ProgressDialog&) {
        const QByteArray bare = QByteArray("open(\"") + pvalb.c_str() + "\")";
        EXPECT_EQ(exchange(socketName(), {request(sst), bare}), "AA");
        EXPECT_EQ(app->pendingRequestCount(), 2u);
        EXPECT_EQ(app->document()->detailModel().geneCount(), 0);
        resources.gate.open();
    });
    ASSERT_TRUE(app->start({}));
    EXPECT_EQ(app->pendingRequestCount(), 0u);
    EXPECT_EQ(openSymbols(*app), (std::vector<std::string>{"Sst", "Pvalb"}));
    EXPECT_TRUE(prompt.errors.empty());
}

TEST_F(StartupTest, RequestsAfterTheStartAreCarriedOutAtOnceAndAnythingElseIsDropped) {
    auto app = makeApp();
    OpenRequestServer server(socketName(), [&](const QString& r) { return app->handleOpenRequest(r); });
    ASSERT_TRUE(server.listen());
    ASSERT_TRUE(app->start({}));
    const std::string gad1 = SampleData::get().geneFile("Gad1");
    // 520 UTF-16 units: "[open(\"" and "\")]" with a path that fills the rest.
    const std::string longPath = "/" + std::string(520 - 10 - 1, 'a');
    ASSERT_EQ(openRequestText(QString::fromStdString(longPath)).size(), 520);
    const std::vector<QByteArray> requests = {
        request(gad1),
        request(longPath),
        "[open(\"relative.xpr\")]",
        "[close(\"/a.xpr\")]",
        "[open(\"/a.xpr\")",
        "[open()]",
        "",
        QByteArray("[open(\"/a\xff.xpr\")]"),
        QByteArray("[open(\"/a\0b\")]", 14),
    };
    EXPECT_EQ(exchange(socketName(), requests), "ADDDDDDDD");
    EXPECT_EQ(openSymbols(*app), std::vector<std::string>{"Gad1"});
    EXPECT_EQ(app->pendingRequestCount(), 0u);
    EXPECT_TRUE(prompt.errors.empty());
    // A frame longer than any request ends the connection unanswered.
    EXPECT_EQ(exchange(socketName(), {QByteArray(5000, 'x')}), "");
    // One unit less than the limit is a request like any other: its file is missing.
    const std::string justShorter = "/" + std::string(520 - 10 - 2, 'a');
    EXPECT_EQ(exchange(socketName(), {request(justShorter)}), "A");
    EXPECT_EQ(prompt.errors.size(), 1u);
}

TEST_F(StartupTest, ARequestThatArrivesWhileADialogIsOpenWaitsUntilItCloses) {
    auto app = makeApp();
    OpenRequestServer server(socketName(), [&](const QString& r) { return app->handleOpenRequest(r); });
    ASSERT_TRUE(server.listen());
    ASSERT_TRUE(app->start({}));
    QDialog options(app->frame());
    options.setModal(true);
    options.show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return QApplication::activeModalWidget() == &options; }));
    EXPECT_EQ(exchange(socketName(), {request(SampleData::get().geneFile("Pvalb"))}), "A");
    EXPECT_EQ(app->pendingRequestCount(), 1u);
    EXPECT_EQ(app->document()->detailModel().geneCount(), 0);
    options.reject();
    EXPECT_TRUE(QTest::qWaitFor([&] { return app->pendingRequestCount() == 0; }));
    EXPECT_EQ(openSymbols(*app), std::vector<std::string>{"Pvalb"});
}

TEST_F(StartupTest, ASecondLaunchHandsItsFileToTheRunningInstanceAndEnds) {
    auto app = makeApp();
    OpenRequestServer server(OpenRequestServer::defaultName(),
                             [&](const QString& r) { return app->handleOpenRequest(r); });
    ASSERT_TRUE(server.listen());
    ASSERT_TRUE(app->start({}));
    // A relative path is made absolute by the launch, and a path through a link resolved: both name the
    // file the first launch opened, so its gene is added once and the recent list holds its real path.
    const fs::path sst = fs::canonical(SampleData::get().geneFile("Sst"));
    fs::create_directory_symlink(sst.parent_path(), xdg.file("genes"));
    const struct {
        std::string directory;
        QString argument;
    } launches[] = {{sst.parent_path().string(), "Sst.xpr"}, {xdg.path(), "genes/Sst.xpr"}};
    for (const auto& l : launches) {
        QProcess launch;
        launch.setWorkingDirectory(QString::fromStdString(l.directory));
        launch.start(VOLUMIRA_PROGRAM, {l.argument});
        ASSERT_TRUE(launch.waitForStarted(10000));
        EXPECT_TRUE(QTest::qWaitFor([&] { return launch.state() == QProcess::NotRunning; }, 30000));
        EXPECT_EQ(launch.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(launch.exitCode(), 0) << launch.readAllStandardError().toStdString();
    }
    EXPECT_EQ(openSymbols(*app), std::vector<std::string>{"Sst"});
    EXPECT_EQ(app->document()->files().recentFiles().paths(), std::vector<std::string>{sst.string()});
}

TEST_F(StartupTest, ASocketLeftBehindIsReplacedAndALiveOneIsNot) {
    const std::string path = xdg.file("stale");
    // A bound socket nobody listens on: what a crashed instance leaves.
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ::close(fd);
    const QString name = QString::fromStdString(path);
    EXPECT_EQ(OpenRequestServer::send(name, {"[open(\"/a.xpr\")]"}), OpenRequestServer::Delivery::NoInstance);
    std::vector<QString> received;
    OpenRequestServer first(name, [&](const QString& r) {
        received.push_back(r);
        return true;
    });
    ASSERT_TRUE(first.listen());
    OpenRequestServer second(name, [](const QString&) { return true; });
    EXPECT_FALSE(second.listen());
    EXPECT_EQ(exchange(name, {"[open(\"/a.xpr\")]"}), "A");
    EXPECT_EQ(received, std::vector<QString>{"[open(\"/a.xpr\")]"});
}

// ---- the real program ----

// Drives another process's windows on the test's X server as a user's keyboard would: finds its shown
// top-level windows by the process id Qt records on each, gives one the input focus and sends it keys.
class XKeyboard {
  public:
    struct Window {
        xcb_window_t id;
        std::string title;
    };

    XKeyboard() : connection_(xcb_connect(nullptr, nullptr)) {
        if (xcb_connection_has_error(connection_)) return;
        const xcb_setup_t* setup = xcb_get_setup(connection_);
        root_ = xcb_setup_roots_iterator(setup).data->root;
        const int count = setup->max_keycode - setup->min_keycode + 1;
        Reply<xcb_get_keyboard_mapping_reply_t> map(
            xcb_get_keyboard_mapping_reply(
                connection_, xcb_get_keyboard_mapping(connection_, setup->min_keycode, std::uint8_t(count)), nullptr),
            &std::free);
        if (!map) return;
        const xcb_keysym_t* syms = xcb_get_keyboard_mapping_keysyms(map.get());
        const int perCode = map->keysyms_per_keycode;
        // The unshifted symbol of each key; the first key wins.
        for (int i = count - 1; i >= 0; --i)
            if (perCode > 0) codes_[syms[i * perCode]] = xcb_keycode_t(setup->min_keycode + i);
        pid_ = atom("_NET_WM_PID");
        name_ = atom("_NET_WM_NAME");
        utf8_ = atom("UTF8_STRING");
    }
    ~XKeyboard() { xcb_disconnect(connection_); }
    XKeyboard(const XKeyboard&) = delete;
    XKeyboard& operator=(const XKeyboard&) = delete;

    bool usable() const { return root_ != XCB_NONE && pid_ != XCB_NONE && !codes_.empty(); }

    std::vector<Window> shownWindowsOf(qint64 pid) {
        std::vector<Window> found;
        Reply<xcb_query_tree_reply_t> tree(
            xcb_query_tree_reply(connection_, xcb_query_tree(connection_, root_), nullptr), &std::free);
        if (!tree) return found;
        const xcb_window_t* children = xcb_query_tree_children(tree.get());
        for (int i = 0; i < xcb_query_tree_children_length(tree.get()); ++i) {
            const xcb_window_t w = children[i];
            Reply<xcb_get_window_attributes_reply_t> attributes(
                xcb_get_window_attributes_reply(connection_, xcb_get_window_attributes(connection_, w), nullptr),
                &std::free);
            if (!attributes || attributes->map_state != XCB_MAP_STATE_VIEWABLE) continue;
            const std::string owner = property(w, pid_, XCB_ATOM_CARDINAL);
            if (owner.size() != 4 || *reinterpret_cast<const std::uint32_t*>(owner.data()) != std::uint32_t(pid))
                continue;
            found.push_back({w, property(w, name_, utf8_)});
        }
        return found;
    }

    void focus(xcb_window_t window) {
        xcb_set_input_focus(connection_, XCB_INPUT_FOCUS_POINTER_ROOT, window, XCB_CURRENT_TIME);
        xcb_flush(connection_);
    }

    // A press and release of the key of a symbol (Latin-1 letters, digits and space are their own symbols).
    void key(xcb_window_t window, xcb_keysym_t symbol, std::uint16_t modifiers = 0) {
        const auto code = codes_.find(symbol);
        if (code == codes_.end()) throw std::runtime_error("no key for symbol " + std::to_string(symbol));
        for (const std::uint8_t type : {XCB_KEY_PRESS, XCB_KEY_RELEASE}) {
            xcb_key_press_event_t event{};
            event.response_type = type;
            event.detail = code->second;
            event.time = XCB_CURRENT_TIME;
            event.root = root_;
            event.event = window;
            event.child = XCB_NONE;
            event.event_x = event.event_y = event.root_x = event.root_y = 1;
            event.state = modifiers;
            event.same_screen = 1;
            xcb_send_event(connection_, false, window,
                           type == XCB_KEY_PRESS ? XCB_EVENT_MASK_KEY_PRESS : XCB_EVENT_MASK_KEY_RELEASE,
                           reinterpret_cast<const char*>(&event));
        }
        xcb_flush(connection_);
    }
    void type(xcb_window_t window, const std::string& text) {
        for (const char c : text) key(window, xcb_keysym_t(static_cast<unsigned char>(c)));
    }

    static constexpr xcb_keysym_t kReturn = 0xff0d;

  private:
    template <typename T> using Reply = std::unique_ptr<T, decltype(&std::free)>;

    xcb_atom_t atom(const char* name) {
        Reply<xcb_intern_atom_reply_t> reply(
            xcb_intern_atom_reply(connection_, xcb_intern_atom(connection_, 0, std::uint16_t(std::strlen(name)), name),
                                  nullptr),
            &std::free);
        return reply ? reply->atom : XCB_NONE;
    }
    std::string property(xcb_window_t window, xcb_atom_t name, xcb_atom_t type) {
        Reply<xcb_get_property_reply_t> reply(
            xcb_get_property_reply(connection_, xcb_get_property(connection_, 0, window, name, type, 0, 256), nullptr),
            &std::free);
        if (!reply) return {};
        return std::string(static_cast<const char*>(xcb_get_property_value(reply.get())),
                           std::size_t(xcb_get_property_value_length(reply.get())));
    }

    xcb_connection_t* connection_;
    xcb_window_t root_ = XCB_NONE;
    xcb_atom_t pid_ = XCB_NONE, name_ = XCB_NONE, utf8_ = XCB_NONE;
    std::map<xcb_keysym_t, xcb_keycode_t> codes_;
};

// The program itself, started from a folder of its own with a gene file named relatively through a link
// and again by its real path, gets a bookmark made with Ctrl+D and its dialog, and is killed once the
// bookmark is on disk, with no chance to save at exit. The bookmark is in the file the next start reads,
// the gene file is listed once among the recent files, by its real path.
TEST(RealProgram, AKilledProgramKeepsTheBookmarkMadeAndListsTheGeneFileOnceByItsRealPath) {
    SampleData::get();
    XKeyboard keyboard;
    ASSERT_TRUE(keyboard.usable()) << "no X server to drive";
    test::TempDir home;
    for (const char* folder : {"config/Tessaly Institute", "data", "cache", "runtime", "User", "work"})
        fs::create_directories(home.file(folder));
    fs::permissions(home.file("runtime"), fs::perms::owner_all);
    const fs::path gad1 = fs::canonical(SampleData::get().geneFile("Gad1"));
    fs::create_directory_symlink(gad1.parent_path(), home.file("work/genes"));
    // The bookmarks tab in front, and no version check or offer of faster drawing to get in the way.
    const QString settingsFile = QString::fromStdString(home.file("config/Tessaly Institute/Volumira.conf"));
    {
        QSettings settings(settingsFile, QSettings::IniFormat);
        settings.setValue("Settings/OntologyViewMode", kBookmarksTab);
        settings.setValue("Settings/AutomaticVersionCheck", 0);
        settings.setValue("Settings/AskedOptimizeVideoSettings", 1);
    }
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    const std::pair<const char*, std::string> places[] = {
        {"HOME", home.path()},
        {"XDG_CONFIG_HOME", home.file("config")},
        {"XDG_DATA_HOME", home.file("data")},
        {"XDG_CACHE_HOME", home.file("cache")},
        {"XDG_RUNTIME_DIR", home.file("runtime")},
        {"VOLUMIRA_USER_DIR", home.file("User/")},
    };
    for (const auto& [name, value] : places) environment.insert(name, QString::fromStdString(value));

    QProcess program;
    program.setProcessEnvironment(environment);
    program.setWorkingDirectory(QString::fromStdString(home.file("work")));
    program.start(VOLUMIRA_PROGRAM, {"genes/Gad1.xpr", QString::fromStdString(gad1.string())});
    ASSERT_TRUE(program.waitForStarted(10000));

    const std::string name = "made before the crash";
    const BookmarksFile bookmarks(home.file("User/"), ReferenceAtlas::instance().ontology());
    const auto saved = [&] {
        const BookmarkTree tree = bookmarks.load();
        return !tree.root.children.empty() && tree.root.children.back()->name == name;
    };
    // The user's part: Yes to the start's questions (the slow display of the private X server), then, once
    // the window stands alone, Ctrl+D and the bookmark's name. Keys a window was not ready for are sent
    // again; the name only while the dialog shows.
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + 120s;
    Clock::time_point aloneSince{}, lastTry{}, namedAt{};
    std::vector<std::string> titlesSeen;
    bool named = false;
    while (!saved() && Clock::now() < deadline && program.state() == QProcess::Running) {
        const std::vector<XKeyboard::Window> windows = keyboard.shownWindowsOf(program.processId());
        for (const auto& w : windows)
            if (std::find(titlesSeen.begin(), titlesSeen.end(), w.title) == titlesSeen.end())
                titlesSeen.push_back(w.title);
        const auto titled = [&](const std::string& title) -> const XKeyboard::Window* {
            for (const auto& w : windows)
                if (w.title == title) return &w;
            return nullptr;
        };
        const XKeyboard::Window* main = nullptr;
        for (const auto& w : windows)
            if (w.title.ends_with(" - Volumira")) main = &w;
        const bool retry = Clock::now() - lastTry > 3s;
        if (const XKeyboard::Window* box = titled("Volumira")) {
            aloneSince = {};
            if (retry) {
                keyboard.focus(box->id);
                keyboard.key(box->id, 'y');
                lastTry = Clock::now();
            }
        } else if (const XKeyboard::Window* dialog = titled("Bookmark")) {
            if (!named || Clock::now() - namedAt > 3s) {
                keyboard.focus(dialog->id);
                keyboard.key(dialog->id, 'a', XCB_MOD_MASK_CONTROL);
                keyboard.type(dialog->id, name);
                keyboard.key(dialog->id, XKeyboard::kReturn);
                named = true;
                namedAt = Clock::now();
            }
        } else if (named) {
            // The bookmark is made: its save comes a moment later, or never.
            if (Clock::now() - namedAt > 20s) break;
        } else if (main && windows.size() == 1) {
            if (aloneSince == Clock::time_point{}) aloneSince = Clock::now();
            if (Clock::now() - aloneSince > 1s && retry) {
                keyboard.focus(main->id);
                keyboard.key(main->id, 'd', XCB_MOD_MASK_CONTROL);
                lastTry = Clock::now();
            }
        }
        std::this_thread::sleep_for(100ms);
    }
    std::string seen;
    for (const std::string& t : titlesSeen) seen += " [" + t + "]";
    ASSERT_TRUE(saved()) << "windows seen:" << seen << "\n" << program.readAllStandardError().toStdString();

    program.kill();
    ASSERT_TRUE(program.waitForFinished(10000));
    EXPECT_EQ(program.exitStatus(), QProcess::CrashExit);
    EXPECT_TRUE(saved());
    EXPECT_FALSE(fs::exists(home.file("User/Bookmarks.new")));
    const QSettings settings(settingsFile, QSettings::IniFormat);
    EXPECT_EQ(settings.value("Recent File List/File1").toString().toStdString(), gad1.string());
    // The list writes all ten places; the others are empty.
    EXPECT_EQ(settings.value("Recent File List/File2").toString().toStdString(), "");
}

// Without GL in the window system the program says so in a box and ends when it is closed; it used to
// show its window first, which brought the toolkit down.
TEST(RealProgram, WithoutGLItTellsWhyAndEndsWithoutShowingItsWindow) {
    SampleData::get();
    XKeyboard keyboard;
    ASSERT_TRUE(keyboard.usable()) << "no X server to drive";
    test::TempDir home;
    for (const char* folder : {"config", "data", "cache", "runtime", "User"})
        fs::create_directories(home.file(folder));
    fs::permissions(home.file("runtime"), fs::perms::owner_all);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const auto& [name, value] : std::initializer_list<std::pair<const char*, std::string>>{
             {"HOME", home.path()},
             {"XDG_CONFIG_HOME", home.file("config")},
             {"XDG_DATA_HOME", home.file("data")},
             {"XDG_CACHE_HOME", home.file("cache")},
             {"XDG_RUNTIME_DIR", home.file("runtime")},
             {"VOLUMIRA_USER_DIR", home.file("User/")},
             {"QT_XCB_GL_INTEGRATION", "none"}})
        environment.insert(name, QString::fromStdString(value));
    QProcess program;
    program.setProcessEnvironment(environment);
    program.start(VOLUMIRA_PROGRAM, {});
    ASSERT_TRUE(program.waitForStarted(10000));

    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + 60s;
    Clock::time_point lastTry{};
    std::vector<std::string> titlesSeen;
    while (Clock::now() < deadline && !program.waitForFinished(100)) {
        for (const auto& w : keyboard.shownWindowsOf(program.processId())) {
            if (std::find(titlesSeen.begin(), titlesSeen.end(), w.title) == titlesSeen.end())
                titlesSeen.push_back(w.title);
            // The box's one button closes it.
            if (w.title == "Volumira" && Clock::now() - lastTry > 3s) {
                keyboard.focus(w.id);
                keyboard.key(w.id, XKeyboard::kReturn);
                lastTry = Clock::now();
            }
        }
    }
    if (program.state() != QProcess::NotRunning) {
        program.kill();
        program.waitForFinished(10000);
        FAIL() << "the program did not end";
    }
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 1);
    EXPECT_EQ(titlesSeen, std::vector<std::string>{"Volumira"});
    // The box came after the window was made and GL asked for (not the one of missing files, earlier).
    EXPECT_NE(program.readAllStandardError().indexOf("Cannot create platform OpenGL context"), -1);
}

TEST(OpenRequestText, IsParsedStrictly) {
    const struct {
        const char* request;
        std::optional<std::string> path;
    } cases[] = {
        {"[open(\"/data/Gad1.xpr\")]", "/data/Gad1.xpr"},
        {"open(\"/data/Gad1.xpr\")", "/data/Gad1.xpr"},
        {"[open(\"/with \\\"quote\\\" and )].xpr\")]", "/with \\\"quote\\\" and )].xpr"},
        {"[open(\"/données/é.xpr\")]", "/données/é.xpr"},
        {"[open(\"Gad1.xpr\")]", std::nullopt},
        {"[open(\"\")]", std::nullopt},
        {"[open(\"/a.xpr\")] ", std::nullopt},
        {" [open(\"/a.xpr\")]", std::nullopt},
        {"[OPEN(\"/a.xpr\")]", std::nullopt},
        {"[print(\"/a.xpr\")]", std::nullopt},
        {"open(/a.xpr)", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(parseOpenRequest(QString::fromUtf8(c.request)), c.path) << c.request;
    EXPECT_EQ(parseOpenRequest(openRequestText("/a b/c.xpr")), std::optional<std::string>("/a b/c.xpr"));
}

// ---- the file type ----

struct DefaultsCase {
    const char* name;
    const char* before;
    const char* after; // nullptr: left as it was
};

TEST(MimeAppsList, NamesVolumiraAsTheDefaultAndKeepsEverythingElse) {
    const DefaultsCase cases[] = {
        {"Empty", "", "[Default Applications]\napplication/x-volumira-expression=volumira.desktop\n"},
        {"OtherGroupsOnly", "[Added Associations]\ntext/plain=gedit.desktop;\n",
         "[Added Associations]\ntext/plain=gedit.desktop;\n\n[Default Applications]\n"
         "application/x-volumira-expression=volumira.desktop\n"},
        {"AddedToTheGroup",
         "# mine\n[Default Applications]\ntext/html=firefox.desktop\n\n[Added Associations]\nx/y=z.desktop;\n",
         "# mine\n[Default Applications]\ntext/html=firefox.desktop\napplication/x-volumira-expression=volumira."
         "desktop\n\n[Added Associations]\nx/y=z.desktop;\n"},
        {"AnotherProgramIsReplaced",
         "[Default Applications]\napplication/x-volumira-expression=other.desktop\ntext/html=firefox.desktop\n",
         "[Default Applications]\napplication/x-volumira-expression=volumira.desktop\ntext/html=firefox.desktop\n"},
        {"OursSecondIsReplaced",
         "[Default Applications]\napplication/x-volumira-expression=other.desktop;volumira.desktop;\n",
         "[Default Applications]\napplication/x-volumira-expression=volumira.desktop\n"},
        {"NoFinalLineBreak", "[Default Applications]\napplication/x-volumira-expression=other.desktop",
         "[Default Applications]\napplication/x-volumira-expression=volumira.desktop"},
        {"AnAddedAssociationIsNoDefault", "[Added Associations]\napplication/x-volumira-expression=other.desktop;\n",
         "[Added Associations]\napplication/x-volumira-expression=other.desktop;\n\n[Default Applications]\n"
         "application/x-volumira-expression=volumira.desktop\n"},
        {"AlreadyOurs", "[Default Applications]\napplication/x-volumira-expression=volumira.desktop\n", nullptr},
        {"OursFirstInAList",
         "[Default Applications]  \n application/x-volumira-expression = volumira.desktop;other.desktop;\n",
         nullptr},
    };
    for (const DefaultsCase& c : cases) {
        const std::optional<std::string> got = withDefaultApplication(c.before, kExpressionMimeType, kDesktopId);
        EXPECT_EQ(got, c.after ? std::optional<std::string>(c.after) : std::nullopt) << c.name;
    }
}

TEST(DesktopEntry, ExecCarriesAnyProgramPath) {
    const struct {
        const char* path;
        std::optional<std::string> exec;
    } cases[] = {
        {"/usr/bin/volumira", "Exec=/usr/bin/volumira %f\n"},
        {"/opt/My Apps/volumira", "Exec=\"/opt/My Apps/volumira\" %f\n"},
        {"/opt/100%/volumira", "Exec=/opt/100%%/volumira %f\n"},
        {"/opt/a\"b$c/volumira", "Exec=\"/opt/a\\\\\"b\\\\$c/volumira\" %f\n"},
        {"/opt/line\nbreak", std::nullopt},
        {"relative/volumira", std::nullopt},
    };
    for (const auto& c : cases) {
        const std::optional<std::string> entry = desktopEntryText(c.path);
        if (!c.exec) {
            EXPECT_FALSE(entry) << c.path;
            continue;
        }
        ASSERT_TRUE(entry) << c.path;
        EXPECT_NE(entry->find("\n" + *c.exec), std::string::npos) << *entry;
        EXPECT_NE(entry->find("\nMimeType=application/x-volumira-expression;\n"), std::string::npos);
    }
}

class UserAssociation : public ::testing::Test {
  protected:
    DesktopPlaces places(const std::string& program = "/opt/volumira/bin/volumira") const {
        return {dir.file("config"), dir.file("data"), {dir.file("share1"), dir.file("share2")}, program};
    }
    std::string mimeapps() const { return dir.file("config/mimeapps.list"); }
    std::string userEntry() const { return dir.file("data/applications/volumira.desktop"); }
    test::TempDir dir;
};

TEST_F(UserAssociation, AnAssociationToAnotherProgramIsReplacedOnceAndTheRestKept) {
    fs::create_directories(dir.file("config"));
    test::writeBytes(mimeapps(), "[Default Applications]\napplication/x-volumira-expression=other.desktop\n"
                                 "text/html=firefox.desktop\n\n[Added Associations]\ntext/plain=gedit.desktop;\n");
    ::chmod(mimeapps().c_str(), 0640);
    EXPECT_EQ(assertFileAssociation(places()).defaults, FileChange::Written);
    EXPECT_EQ(test::readBytes(mimeapps()),
              "[Default Applications]\napplication/x-volumira-expression=volumira.desktop\n"
              "text/html=firefox.desktop\n\n[Added Associations]\ntext/plain=gedit.desktop;\n");
    EXPECT_EQ(fs::status(mimeapps()).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    EXPECT_EQ(assertFileAssociation(places()).defaults, FileChange::Unchanged);
    // No temporary file stays behind.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.file("config")), fs::directory_iterator()), 1);
}

TEST_F(UserAssociation, ALinkedListStaysALink) {
    fs::create_directories(dir.file("config"));
    fs::create_directories(dir.file("dotfiles"));
    test::writeBytes(dir.file("dotfiles/mimeapps.list"), "[Default Applications]\ntext/html=firefox.desktop\n");
    fs::create_symlink(dir.file("dotfiles/mimeapps.list"), mimeapps());
    EXPECT_EQ(assertFileAssociation(places()).defaults, FileChange::Written);
    EXPECT_TRUE(fs::is_symlink(mimeapps()));
    EXPECT_EQ(test::readBytes(dir.file("dotfiles/mimeapps.list")),
              "[Default Applications]\ntext/html=firefox.desktop\napplication/x-volumira-expression=volumira.desktop\n");
}

TEST_F(UserAssociation, AListThatCannotBeReadIsLeftAlone) {
    if (::geteuid() == 0) GTEST_SKIP() << "the superuser reads every file";
    fs::create_directories(dir.file("config"));
    test::writeBytes(mimeapps(), "[Default Applications]\ntext/html=firefox.desktop\n");
    ::chmod(mimeapps().c_str(), 0);
    EXPECT_EQ(assertFileAssociation(places()).defaults, FileChange::Failed);
    ::chmod(mimeapps().c_str(), 0600);
    EXPECT_EQ(test::readBytes(mimeapps()), "[Default Applications]\ntext/html=firefox.desktop\n");
}

TEST_F(UserAssociation, TheUserEntryStandsInForAMissingInstalledOne) {
    EXPECT_EQ(assertFileAssociation(places()).desktopEntry, FileChange::Written);
    EXPECT_NE(test::readBytes(userEntry()).find("\nExec=/opt/volumira/bin/volumira %f\n"), std::string::npos);
    EXPECT_EQ(assertFileAssociation(places()).desktopEntry, FileChange::Unchanged);
    // Moved: the entry follows the program.
    EXPECT_EQ(assertFileAssociation(places("/usr/local/bin/volumira")).desktopEntry, FileChange::Written);
    EXPECT_NE(test::readBytes(userEntry()).find("\nExec=/usr/local/bin/volumira %f\n"), std::string::npos);
}

TEST_F(UserAssociation, AnInstalledEntryOrTheUsersOwnIsNotTouched) {
    fs::create_directories(dir.file("share2/applications"));
    test::writeBytes(dir.file("share2/applications/volumira.desktop"), "[Desktop Entry]\n");
    EXPECT_EQ(assertFileAssociation(places()).desktopEntry, FileChange::Unchanged);
    EXPECT_FALSE(fs::exists(userEntry()));

    fs::remove(dir.file("share2/applications/volumira.desktop"));
    fs::create_directories(dir.file("data/applications"));
    test::writeBytes(userEntry(), "[Desktop Entry]\nExec=/home/me/volumira-dev %f\n");
    EXPECT_EQ(assertFileAssociation(places()).desktopEntry, FileChange::Unchanged);
    EXPECT_EQ(test::readBytes(userEntry()), "[Desktop Entry]\nExec=/home/me/volumira-dev %f\n");
}

TEST_F(StartupTest, EveryStartMakesVolumiraTheUsersDefaultForGeneFiles) {
    fs::create_directories(xdg.file("config"));
    test::writeBytes(xdg.file("config/mimeapps.list"),
                     "[Default Applications]\napplication/x-volumira-expression=other.desktop\n");
    auto app = makeApp();
    ASSERT_TRUE(app->start({}));
    EXPECT_EQ(test::readBytes(xdg.file("config/mimeapps.list")),
              "[Default Applications]\napplication/x-volumira-expression=volumira.desktop\n");
    EXPECT_NE(test::readBytes(xdg.file("data/applications/volumira.desktop")).find("Exec=/opt/volumira/bin/volumira %f"),
              std::string::npos);
    EXPECT_FALSE(fs::exists(xdg.file("system/applications/volumira.desktop")));
}

// ---- the version check ----

TEST_F(StartupTest, ADueCheckOffersTheNewBuildAndOpensOnlyAWebPage) {
    const int newer = builtProgramVersion().buildNumber + 1;
    const auto versions = [newer](const std::string& info) {
        return "<versions><windows build=\"" + std::to_string(newer) +
               "\"/><searchAPI oldest=\"1\" domains=\"0\"/><infoUrl>" + info + "</infoUrl></versions>";
    };
    test::Captured requested;
    test::CannedServer server([&](httplib::Server& s) {
        s.Get(".*", [&, versions](const httplib::Request& req, httplib::Response& res) {
            requested.add(req.path);
            res.set_content(versions(req.path == "/web" ? "https://example.org/volumira" : "file:///etc/passwd"),
                            "text/xml");
        });
    });
    for (const char* path : {"/web", "/local"}) {
        std::vector<std::string> asked, opened;
        resources.versionsUrl = server.url(path);
        preferences.setAutomaticVersionCheck(true);
        store.writeText("Settings", "LastVersionCheck", "");
        auto app = makeApp({[&](const std::string& message) {
                                asked.push_back(message);
                                return true;
                            },
                            [&](const std::string& url) { opened.push_back(url); }});
        ASSERT_TRUE(app->start({}));
        ASSERT_TRUE(QTest::qWaitFor([&] { return app->displayChecked() && !app->versionCheck().running(); }, 20000));
        EXPECT_EQ(asked, std::vector<std::string>{"A new version of Volumira is available. Click OK for more "
                                                  "information."});
        EXPECT_EQ(opened, std::string(path) == "/web" ? std::vector<std::string>{"https://example.org/volumira"}
                                                      : std::vector<std::string>{});
        EXPECT_FALSE(preferences.isVersionCheckDue());
    }
    // With automatic checks off nothing is asked of the server.
    preferences.setAutomaticVersionCheck(false);
    store.writeText("Settings", "LastVersionCheck", "");
    resources.versionsUrl = server.url("/off");
    auto app = makeApp();
    ASSERT_TRUE(app->start({}));
    ASSERT_TRUE(QTest::qWaitFor([&] { return app->displayChecked(); }));
    EXPECT_FALSE(app->versionCheck().running());
    EXPECT_EQ(requested.items(), (std::vector<std::string>{"/web", "/local"}));
}

} // namespace
} // namespace volumira
