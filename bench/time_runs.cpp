// time_runs N exe "command line": starts exe N times with that exact command
// line and prints the median wall time from CreateProcessW to exit, in ms.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

int wmain(int argc, wchar_t **argv)
{
    if (argc != 4)
        return 2;
    int runs = _wtoi(argv[1]);
    std::vector<double> times;
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    for (int i = 0; i < runs; ++i) {
        std::wstring line = argv[3];
        STARTUPINFOW startup = {};
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION process;
        QueryPerformanceCounter(&start);
        if (!CreateProcessW(argv[2], line.data(), NULL, NULL, FALSE, 0, NULL, NULL, &startup,
                            &process))
            return 3;
        WaitForSingleObject(process.hProcess, INFINITE);
        QueryPerformanceCounter(&end);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
        times.push_back((end.QuadPart - start.QuadPart) * 1000.0 / frequency.QuadPart);
    }
    std::sort(times.begin(), times.end());
    printf("%.2f\n", times[times.size() / 2]);
    return 0;
}
