// The companion's texts in Simplified Chinese, for every Chinese display language. The names of
// Windows' own places are those of its Chinese interface, so that a user finds them on screen; a
// device's name inside a sentence is quoted, as Chinese Windows quotes names.
#include "sessions/output/texts.h"

extern const Texts kChineseTexts = {
    .usage = "列出所有播放设备上的音频会话（与 Hushvane.exe 所见一致）；\n"
             "Hushvane 监视的默认设备排在最前面。\n\n"
             "用法：\n",
    .usageTarget = "[目标.exe]",
    .usageList = "列出会话后退出",
    .usageWatch = "每秒重新列出，直到按 Ctrl+C",
    .usageUnmute = "取消每个设备上所有会话的静音",
    .usageHelp = "显示此帮助（也可用 -h 和 /?）",
    .usageNotes = "目标的写法与传给 Hushvane.exe 时相同：可执行文件的文件名，区分大小写。\n"
                  "目标的会话标为“目标”，最后几行说明 Hushvane 能否检测到它的声音。\n\n"
                  "退出代码：0 成功；1 无法读取默认设备或其会话，或者 --unmute-all 未能检查\n"
                  "或取消某个会话的静音、未能读取某个设备的会话或未能列出所有设备；\n"
                  "2 命令行参数有误；3 目标未运行。\n",
    .unknownOption = "未知选项：%s\n\n",
    .oneTarget = "只能指定一个目标，不能同时指定 %s 和 %s。\n\n",
    .unmuteAllAlone = "--unmute-all 不接受目标，也不能与 --watch 一起使用。\n\n",
    .commandLineUnread = "无法读取命令行：%s。\n",
    .pressEnter = "\n按 Enter 键关闭此窗口。",

    .everySecond = "（每秒刷新；按 Ctrl+C 结束）",
    .cannotWatch = "无法开始监视：%s。\n",
    .more = "（还有 %d %hs未显示：请调大窗口，或将输出重定向到文件）",
    .notListed = "（还有 %d %hs未列出）\n",
    .moreBoth = "（还有 %d %hs和 %d %hs未显示：请调大窗口，或将输出重定向到文件）",

    .defaultDevice = "默认播放设备：%s",
    .otherDevice = "其他播放设备：%s%hs；Hushvane 不监视此设备",
    .communications = "（Windows 默认通信设备）",
    .noSessionManager = "会话管理器不可用：列出会话需要 Windows 7 或更高版本。",
    .audioDevicesUnread = "无法读取音频设备：%s。",
    .defaultDeviceUnread = "无法读取默认播放设备：%s。",
    .sessionsUnread = "无法读取该设备的会话：%s。",
    .sessionCountUnread = "无法读取会话数量：%s。",
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
    .noSessions = "（无会话）",
    .sessionUnopened = "（无法打开会话 %d：%s；Hushvane 会跳过此会话）",
    .failure = "%hs 失败，错误 0x%08lX",
    .failedCall = "（%s）",
    .systemSoundsAsTarget = "（系统声音：Hushvane 会把它们当作目标的声音）",
    .systemSoundsMuted = "（系统声音：Hushvane 会把它们与其他程序一起静音）",
    .expired = "（已过期：所属程序已释放最后一个音频流；音量合成器不再显示此会话）",

    .systemSoundsName = "（系统声音）",
    .reasonSystemSounds = "（Windows 系统声音：Hushvane 既不检测也不静音这些声音）",
    .reasonDenied = "（拒绝访问：该进程以管理员权限或其他用户身份运行，或者是服务或受保护进程；"
                    "Hushvane 无法检测其声音，也无法将其静音）",
    .reasonNoProcess = "（该进程已不存在：Hushvane 会跳过此会话）",
    .reasonNoPath = "（无法读取其路径：%s；Hushvane 会跳过此会话）",
    .reasonNoProcessId = "（无法读取其进程 ID：%s；Hushvane 会跳过此会话）",
    .hushvaneNotRunning = "Hushvane.exe 未运行：目前它不会静音或取消静音任何会话。",
    .hushvaneRunning = "Hushvane.exe 正在运行，进程 ID 为 %s。",
    .hushvaneRunningTimes = "有 %d 个 Hushvane.exe 进程正在运行，进程 ID 为 %s%hs：它们会争抢"
                            "同一批会话，请只保留一个，结束其余的进程。",
    .listSeparator = "、",
    .andMore = " 等",

    .notRunning = "%s 未运行。Hushvane 将名称与正在运行的程序文件名精确比较，区分大小写。",
    .closest = "名称最接近的正在运行的程序：",
    .nearMiss = "（%hs%hs）",
    .sameName = "给定的名称",
    .withoutFolder = "去掉路径后的名称",
    .withExe = "加上 .exe 后的名称",
    .inOtherCase = "，仅大小写不同",
    .none = "（无）",
    .noSessionHere = "%s 正在运行，但在默认播放设备上没有 Hushvane 能看到的会话。只有它在默认播放"
                     "设备上有会话时，Hushvane 才能检测到它的声音。",
    .running = "%s 正在运行，在默认播放设备上有 %d %hs，%hs。",
    .loudNow = "目前正在发声",
    .silentNow = "目前没有声音",
    .peakUnread = "但无法读取其峰值，因此 Hushvane 无法判断它是否在发声",
    .elsewhereToo = "%s 另有 %d %hs在“%s”上；Hushvane 不监视该设备，检测不到这些会话的声音。",
    .elsewhereOnly = "它有 %d %hs在“%s”上；Hushvane 不监视该设备，检测不到这些会话的声音。请将“%s”"
                     "设为默认播放设备，然后重新启动 Hushvane；或者让 %s 改用默认设备播放：可在它"
                     "自己的设置中更改，也可在 Windows 10 的“应用音量和设备首选项”或 Windows 11 的"
                     "“设置 > 系统 > 声音 > 音量合成器”中更改。",
    .otherCase = "进程 %lu 有一个会话，程序名为 %s，与 %s 仅大小写不同：Hushvane 比较名称时区分"
                 "大小写，因此检测不到这个会话的声音。",
    .denied = "有 %d %hs属于名为 %s 的进程%hs，但 Hushvane 无权查询该进程：它以管理员权限或其他"
              "用户身份运行，或者是服务或受保护进程。只有以相同的权限启动 Hushvane，才能检测到"
              "它的声音。",

    .namedById = "%s（%s）",
    .nameUnread = "无法读取名称：%s",
    .noName = "没有名称",
    .idUnread = "ID 无法读取（%s）",
    .noId = "ID 为空",
    .twinId = "（ID %s）",
    .defaultIdUnread = "未列出其他播放设备，因为无法将它们与默认设备区分开：默认设备 %s。",
    .listUnread = "无法列出其他播放设备：%s。",
    .deviceUnlisted = "未列出第 %u 个播放设备（共 %u 个）：%s。",
    .tooManyDevices = "（播放设备超过 %d 个：其余设备未列出）",

    .unmuted = "已取消静音",
    .notChecked = "未检查",
    .stillMuted = "仍处于静音",
    .onDevice = "位于“%s”",
    .unmuteUnopened = "会话 %d（位于“%s”）无法打开：%s；无法确定它是否处于静音状态。",
    .callFailed = "%s：",
    .unmuteDevice = "其他播放设备：%s",
    .unmutedCount = "已取消 %d %hs的静音",
    .uncheckedCount = "；%d 个会话无法检查或取消静音",
    .unreadDevices = "；%d %hs的会话无法读取",
    .unlisted = "；部分播放设备无法列出",
    .noneLeft = "；已没有处于静音状态的会话",
    .fullStop = "。",

    .sessions = {"个会话", "个会话"},
    .lines = {"行", "行"},
    .devices = {"个设备", "个设备"},
    .belong = {"", ""},
};
