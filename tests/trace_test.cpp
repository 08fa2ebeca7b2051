#include <gtest/gtest.h>

#include "test_support.h"
#include "trace/trace.h"

namespace {

std::wstring Format(const SYSTEMTIME& time, const wchar_t* format, ...) {
    wchar_t line[kTraceLineChars + 1];
    line[kTraceLineChars] = L'#'; // a sentinel just past the buffer
    va_list args;
    va_start(args, format);
    FormatTraceLine(line, time, format, args);
    va_end(args);
    EXPECT_EQ(line[kTraceLineChars], L'#') << "the line overflowed its buffer";
    return std::wstring(line);
}

SYSTEMTIME At(WORD year, WORD month, WORD day, WORD hour, WORD minute, WORD second) {
    SYSTEMTIME time = {};
    time.wYear = year;
    time.wMonth = month;
    time.wDay = day;
    time.wHour = hour;
    time.wMinute = minute;
    time.wSecond = second;
    return time;
}

TEST(FormatTraceLine, StampsAndFormatsTheMessage) {
    struct Case {
        SYSTEMTIME time;
        const wchar_t* expected;
    };
    const Case cases[] = {
        {At(2021, 3, 3, 9, 5, 7), L"2021-03-03 09:05:07  进程名:C:\\Apps\\chat.exe 动作:1\n"},
        {At(1999, 12, 31, 23, 59, 0), L"1999-12-31 23:59:00  进程名:C:\\Apps\\chat.exe 动作:1\n"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Format(c.time, L"进程名:%s 动作:%d", L"C:\\Apps\\chat.exe", 1), c.expected);
    }
}

TEST(FormatTraceLine, CutsAnOverlongMessageAndKeepsTheNewline) {
    const SYSTEMTIME time = At(2021, 3, 3, 9, 5, 7);
    const std::wstring stamp = L"2021-03-03 09:05:07  ";
    const size_t room = kTraceLineChars - 2 - stamp.size(); // newline and terminator kept
    struct Case {
        size_t messageLength;
        size_t keptLength;
    };
    const Case cases[] = {{room - 1, room - 1}, {room, room}, {room + 1, room}, {5000, room}};
    for (const Case& c : cases) {
        std::wstring message(c.messageLength, L'x');
        std::wstring line = Format(time, L"%s", message.c_str());
        EXPECT_EQ(line, stamp + std::wstring(c.keptLength, L'x') + L"\n")
            << "message of " << c.messageLength;
    }
}

TEST(TraceOutput, ReachesTheDebuggerChannel) {
    DebugCapture capture;
    TraceLine(L"进程名:%s 动作:%d", L"C:\\Apps\\chat.exe", 0);
    TraceRaw(L"监视进程不存在,恢复静音进程\n");
    TraceRaw(L"目标进程有声音输出! 静音其他进程");
    ASSERT_EQ(capture.Texts().size(), 3u);
    const std::wstring& line = capture.Texts()[0];
    const std::wstring tail = L"  进程名:C:\\Apps\\chat.exe 动作:0\n";
    ASSERT_EQ(line.size(), 19 + tail.size());
    EXPECT_EQ(line.substr(19), tail);
    EXPECT_EQ(line[4], L'-');
    EXPECT_EQ(line[10], L' ');
    EXPECT_EQ(line[13], L':');
    EXPECT_EQ(capture.Texts()[1], L"监视进程不存在,恢复静音进程\n");
    EXPECT_EQ(capture.Texts()[2], L"目标进程有声音输出! 静音其他进程");
}

} // namespace
