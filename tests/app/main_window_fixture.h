#pragma once
// The main window for one test function: fresh scratch folders as XDG_CONFIG_HOME and
// XDG_DATA_HOME (so settings, key.lst and default.m3u start empty and never touch the real
// user's), a new TfrmMain, and, unless asked otherwise, the window shown and exposed.
// Open it in init(), close it in cleanup(); in between it stands for the window.
#include <QByteArray>
#include <QTest>
#include <memory>

#include "app/frm_main.h"
#include "tests/support/temp_dir.h"

namespace quavrel::test {

class MainWindowFixture {
public:
    enum class Show { Exposed, Hidden };

    ~MainWindowFixture() { close(); }

    // Replaces any earlier window and folders. False when the shown window never became
    // exposed.
    [[nodiscard]] bool open(Show show = Show::Exposed)
    {
        close();
        home_ = std::make_unique<TempDir>();
        qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(home_->file("config")));
        qputenv("XDG_DATA_HOME", QByteArray::fromStdString(home_->file("data")));
        window_ = std::make_unique<TfrmMain>();
        if (show == Show::Hidden)
            return true;
        window_->show();
        return QTest::qWaitForWindowExposed(window_.get());
    }

    // The window goes first: its close may still write into the folders.
    void close()
    {
        window_.reset();
        home_.reset();
    }

    TfrmMain* get() const { return window_.get(); }
    TfrmMain* operator->() const { return window_.get(); }
    TfrmMain& operator*() const { return *window_; }

    // The scratch folder that holds config/ and data/; tests may put their own files there.
    const TempDir& home() const { return *home_; }

private:
    std::unique_ptr<TempDir> home_;
    std::unique_ptr<TfrmMain> window_;
};

}  // namespace quavrel::test
