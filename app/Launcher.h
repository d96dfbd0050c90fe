#pragma once

class Application;

// Takes the process from its entry to the event loop: the application object, the folders,
// the autostart entry and the queued first start.
class Launcher {
public:
    Launcher(int argc, char** argv) : argc_(argc), argv_(argv) {}

    int Run();

    // Sets the program's folders from the working directory and writes the autostart entry.
    static void SetupPaths();
    // Scaling with the desktop; must run before the application object exists.
    static void SetupHighDpi();
    // No OpenGL for the windows; must run before the application object exists.
    static void SetupRasterOnly();
    // The desktop entry the windows belong to, and their icon.
    static void SetupIdentity(Application& app);
    // Makes Application::OpenInstance the first event of the loop.
    static void QueueFirstStart(Application& app);

private:
    int argc_;
    char** argv_;
};
