#include "Launcher.h"

int main(int argc, char* argv[]) {
    Launcher launcher(argc, argv);
    return launcher.Run();
}
