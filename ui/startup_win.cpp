// Windows: the parent's console for our output, the arguments from the UTF-16
// command line.
#include "ui/startup.h"

#include <QByteArray>
#include <QString>

#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

namespace brevix {

namespace {

// A stream the parent gave us (a file, a pipe) stays ours; one with nowhere
// to go goes to the parent's console, when it has one.
void ToConsoleWhereUnset(DWORD handle, FILE* stream, bool& attached)
{
    const HANDLE current = GetStdHandle(handle);
    if (current != nullptr && current != INVALID_HANDLE_VALUE)
        return;
    if (!attached && !AttachConsole(ATTACH_PARENT_PROCESS))
        return;
    attached = true;
    if (std::freopen("CONOUT$", "w", stream))
        std::setvbuf(stream, nullptr, _IONBF, 0);
}

} // namespace

void TakePlatformStart(int& argc, char**& argv)
{
    bool attached = false;
    ToConsoleWhereUnset(STD_OUTPUT_HANDLE, stdout, attached);
    ToConsoleWhereUnset(STD_ERROR_HANDLE, stderr, attached);
    if (attached) {
        // Qt's streams write UTF-8; the console gets its own code page back at exit.
        static const UINT consoleCodePage = GetConsoleOutputCP();
        SetConsoleOutputCP(CP_UTF8);
        std::atexit([] { SetConsoleOutputCP(consoleCodePage); });
    }

    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!wide)
        return;
    static std::vector<QByteArray> storage;
    static std::vector<char*> pointers;
    storage.clear();
    for (int k = 0; k < count; ++k)
        storage.push_back(QString::fromWCharArray(wide[k]).toUtf8());
    LocalFree(wide);
    pointers.clear();
    for (QByteArray& bytes : storage)
        pointers.push_back(bytes.data());
    pointers.push_back(nullptr);
    argc = count;
    argv = pointers.data();
}

} // namespace brevix
