// The companion's texts in Simplified Chinese, for every Chinese display language. The names of
// Windows' own places are those of its Chinese interface, so that a user finds them on screen.
#include "sessions/texts.h"

extern const Texts kChineseTexts = {
    .usage = "按 Hushvane.exe 的视角显示每个播放设备的音频会话：先显示 Hushvane 监视的默认设备。\n"
             "\n"
             "用法：\n"
             "  HushvaneSessions.exe [目标.exe]             列出一次会话\n"
             "  HushvaneSessions.exe --watch [目标.exe]     每秒重新列出，直到按 Ctrl+C\n"
             "  HushvaneSessions.exe --unmute-all           取消每个设备上所有会话的静音\n"
             "  HushvaneSessions.exe --help                 显示本说明（也可用 -h 和 /?）\n"
             "\n"
             "目标的写法与交给 Hushvane.exe 时相同：可执行文件的文件名，大小写也要一致。\n"
             "目标的会话标为“目标”，最后几行说明 Hushvane 能否听到它。\n"
             "\n"
             "退出代码：0 完成；1 无法读取设备或它的会话，或有会话仍处于静音；2 无法理解命令行；\n"
             "3 目标没有在运行。\n",
    .unknownOption = "未知选项：%s\n\n",
    .oneTarget = "只能指定一个目标，不能同时指定 %s 和 %s。\n\n",
    .unmuteAllAlone = "--unmute-all 不接受目标，也不能与 --watch 一起使用。\n\n",
    .commandLineUnread = "无法读取命令行（错误 %lu）。\n",
    .pressEnter = "\n按 Enter 键关闭此窗口。",

    .everySecond = "   （每秒刷新；按 Ctrl+C 结束）",
    .cannotWatch = "无法监视：CreateEvent 失败，错误 %lu。\n",
    .moreStart = "（还有 ",
    .moreCount = "%d %hs",
    .moreAnd = "和 ",
    .moreEnd = "：请放大窗口，或把输出重定向到文件）",
    .line = "行",
    .lines = "行",

    .defaultDevice = "默认播放设备：%s\n",
    .otherDevice = "其他播放设备：%s%hs；Hushvane 不监视它\n",
    .communications = "（Windows 默认通信设备）",
    .cantRead = "无法读取%hs：%hs 失败，错误 0x%08lX。\n",
    .theAudioDevices = "音频设备",
    .theDefaultDevice = "默认播放设备",
    .theDeviceSessions = "设备的会话",
    .theSessionCount = "会话数",
    .noSessionManager = "会话管理器不可用：列出会话需要 Windows 7 或更高版本。\n",
    .columnProcessId = "进程 ID",
    .columnMute = "静音",
    .columnPeak = "峰值",
    .columnSound = "声音",
    .columnExecutable = "可执行文件",
    .columnPath = "路径",
    .muted = "已静音",
    .audible = "未静音",
    .loud = "有声",
    .silent = "无声",
    .target = "目标",
    .noSessions = "（没有会话）",
    .sessionUnopened = "%7hs  （无法打开会话 %d：%hs 失败，错误 0x%08lX；Hushvane 会跳过它）\n",
    .failedCall = "   [%hs 失败：0x%08lX]",
    .systemSoundsAsTarget = "   （系统声音：Hushvane 把它们当作目标的声音来听）",
    .systemSoundsMuted = "   （系统声音：Hushvane 会把它们与其他程序一起静音）",
    .expired = "   （已过期：它的程序已释放最后一个音频流；音量合成器不再显示它）",
    .session = "个会话",
    .sessions = "个会话",

    .systemSoundsName = "（系统声音）",
    .reasonSystemSounds = "（Windows 自己的声音：Hushvane 既不听它们，也不将它们静音）",
    .reasonDenied = "（拒绝访问：它以管理员身份、以其他用户身份，或作为服务或受保护的进程运行；"
                    "Hushvane 既听不到它，也无法将它静音）",
    .reasonNoProcess = "（没有这个进程：Hushvane 会跳过此会话）",
    .reasonNoPath = "（无法读取它的路径（超过 259 个字符？）：Hushvane 会跳过此会话）",
    .reasonNoProcessId = "（无法读取它的进程 ID：Hushvane 会跳过此会话）",
    .hushvaneNotRunning = "Hushvane.exe 没有在运行：现在没有任何会话被它静音或取消静音。\n",
    .hushvaneRunning = "Hushvane.exe 正在运行，进程 ID 为 %lu。\n",
    .hushvaneRunningTimes = "Hushvane.exe 正在运行 %d 个，进程 ID 为",
    .andMore = " 等",
    .fight = "：它们会争抢同一批会话，请只留下一个，结束其余的。\n",

    .notRunning =
        "%s 没有在运行。Hushvane 把名称与正在运行的程序的文件名精确比较，大小写也算在内。\n",
    .closest = "名称最接近的正在运行的程序：\n",
    .nearMiss = "  %s   （%hs%hs）\n",
    .sameName = "名称相同",
    .withoutFolder = "去掉文件夹后的名称",
    .withExe = "加上 .exe 后的名称",
    .inOtherCase = "，但大小写不同",
    .none = "  （没有）\n",
    .noSessionHere =
        "%s 正在运行，但在此设备上没有 Hushvane 能看到的会话。只有当它在此设备上有会话时，"
        "Hushvane 才能听到它。\n",
    .running = "%s 正在运行，在此设备上有 %d %hs；%hs。\n",
    .loudNow = "它现在有声",
    .silentNow = "它现在无声",
    .peakUnread = "无法读取它的峰值，所以 Hushvane 什么也听不到",
    .elsewhereToo = "%s 另有 %d %hs在 %s 上，Hushvane 不监视该设备，所以在那里听不到它。\n",
    .elsewhereOnly =
        "它有 %d %hs在 %s 上，Hushvane 不监视该设备，所以在那里听不到它。请把 %s "
        "设为默认播放设备，然后重新启动 Hushvane；或者让 %s 改用默认设备播放（在它自己的"
        "设置中，或在 Windows 的“应用音量和设备首选项”中）。\n",
    .otherCase = "进程 %lu 有一个会话，程序名为 %s，与 %s 只有大小写不同：Hushvane "
                 "精确比较名称，大小写也算在内，所以听不到这个会话。\n",
    .denied = "%d %hs属于名为 %s%hs 的进程，而 Hushvane 无权查询该进程：它以管理员身份、以其他用户"
              "身份，或作为服务或受保护的进程运行。只有以相同的权限启动 Hushvane，才能听到它。\n",
    .belongs = "",
    .belong = "",

    .nameUnread = "%s（无法读取它的名称）",
    .nameAndIdUnread = "（无法读取它的名称和 ID：0x%08lX）",
    .twinId = "（ID %s）",
    .defaultIdUnread = "未列出其他播放设备：无法读取默认设备的 ID（GetId 失败，错误 0x%08lX），"
                       "因此无法把它们与默认设备区分开。\n",
    .listUnread = "无法列出其他播放设备：EnumAudioEndpoints 失败，错误 0x%08lX。\n",
    .deviceUnlisted = "未列出第 %u 个播放设备（共 %u 个）：%hs 失败，错误 0x%08lX。\n",
    .tooManyDevices = "（播放设备超过 %d 个：其余的没有列出）\n",

    .unmuted = "已取消静音",
    .notChecked = "  未检查",
    .stillMuted = "  仍然静音",
    .onDevice = "   在 %s 上\n",
    .unmuteUnopened = "无法打开会话 %d（在 %s 上，错误 0x%08lX）：不知道它是否静音。\n",
    .getMuteFailed = "GetMute 失败，错误 0x%08lX：\n",
    .setMuteFailed = "SetMute 失败，错误 0x%08lX：\n",
    .unmuteDevice = "其他播放设备：%s\n",
    .unmutedCount = "已取消 %d %hs的静音",
    .uncheckedCount = "；%d 个无法检查或取消静音",
    .unreadDevices = "；%d %hs的会话无法读取",
    .device = "个设备",
    .devices = "个设备",
    .unlisted = "；有些播放设备无法列出",
    .noneLeft = "；没有会话仍处于静音",
    .fullStop = "。",
};
