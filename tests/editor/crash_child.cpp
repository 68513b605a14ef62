// Helper for the crash test: an editor on a generated quest that keeps
// editing until it is killed. After each edit it prints the edit's number.
//   editor_crash_child QUEST_PATH PAGES
#include "editor/editor.h"
#include "engine/recording_ports.h"

#include <QCoreApplication>
#include <QFile>

#include <cstdio>
#include <thread>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc < 3)
        return 2;
    const QString quest = QString::fromLocal8Bit(argv[1]);
    const int pages = atoi(argv[2]);
    {
        QFile f(quest);
        if (!f.open(QIODevice::WriteOnly))
            return 2;
        f.write(QByteArray("[Quest Data]\r\nNumber Of Pages=") + QByteArray::number(pages) + "\r\n");
        for (int p = 1; p <= pages; ++p)
            f.write("[" + QByteArray::number(p) + "]\r\nPage Text=Page " + QByteArray::number(p)
                    + " of a long and winding story.\r\nOption One=On\r\nOption One Destination Page="
                    + QByteArray::number(p % pages + 1) + "\r\nLocation=Room\r\n");
    }
    fc::RecordingPortSet ports;
    fc::EditorState state;
    fc::WorkingCopy wc;
    fc::Editor editor(state, wc, ports.ports(), QCoreApplication::applicationDirPath());
    editor.show();
    ports.files.names = {quest};
    editor.menuLoad();
    if (!wc.flush())
        return 2;
    std::fputs("ready\n", stdout);
    std::fflush(stdout);
    for (int i = 1;; ++i) {
        // A keystroke's worth of change, then one event of two writes that
        // must never be seen apart.
        editor.setText(QStringLiteral("createquest"), QStringLiteral("Text1"), QStringLiteral("edit %1").arg(i));
        wc.write(QStringLiteral("Probe"), QStringLiteral("A"), QString::number(i));
        wc.write(QStringLiteral("Probe"), QStringLiteral("B"), QString::number(i));
        wc.endEvent();
        std::printf("%d\n", i);
        std::fflush(stdout);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}
