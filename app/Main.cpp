// Program entry. The command line and the window come next; for now the
// program reports its version.
#include "app/Version.h"

#include <cstdio>

#ifdef _WIN32
#include <windows.h>
int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) { return 0; }
#else
int main() {
    std::printf("QWZ Downgrader %s\n", qwz::ProgramVersion());
    return 0;
}
#endif
