#pragma once

#include <QString>
#include <QTemporaryDir>

// Moves HOME and the XDG folders of this process into a fresh temporary folder, so that a test
// program run by hand, outside ctest, can never read or write the user's own settings, history
// or autostart entry, and cuts it off from the user's session bus. Create it first thing in main(),
// before any Qt object reads a location.
class TestHome {
public:
    TestHome();
    ~TestHome();
    TestHome(const TestHome&) = delete;
    TestHome& operator=(const TestHome&) = delete;

    QString Path() const { return dir_.path(); }
    // The home folder of the account running the test, whatever HOME says.
    static QString RealHome();
    // Ends the program when `path` lies in the real home but outside the temporary one.
    static void Guard(const QString& path);
    // Deletes a folder and everything in it; ends the program for an empty, relative or guarded
    // path.
    static bool Remove(const QString& path);

private:
    QTemporaryDir dir_;
};
