// The memory dump: the whole memory into a file, and the virtual instrument
// started again from it; a dump cut short leaves no file behind.

#include "PanelRig.h"

#include "exchange/ExchVars.h"
#include "exchange/Frames.h"
#include "panel/MemDump.h"
#include "shell/FileChoice.h"
#include "store/OrbADat.h"

#include <QDir>
#include <QLabel>
#include <QProgressDialog>
#include <QPushButton>
#include <QToolButton>
#include <gtest/gtest.h>

namespace {

// Answers the file dialog with `path` for the life of the object.
class FileAnswer {
public:
    explicit FileAnswer(const QString &path)
        : m_previous(SetSaveFileHandler([path](const SaveFileRequest &) { return path; })) {}
    ~FileAnswer() { SetSaveFileHandler(m_previous); }

private:
    SaveFileHandler m_previous;
};

// What the dumps left in `dir`: the chosen names and any file beside them.
QStringList DumpFolder(const QString &dir)
{
    return QDir(dir).entryList({QStringLiteral("*dump*"), QStringLiteral("*.bin*")},
                               QDir::Files | QDir::Hidden | QDir::System);
}

// Steps over a memory held in the test: every read served from `memory`
// until block `failAt` (by address), where the read fails.
MemDumpSteps StepsOver(const QByteArray &memory, int failAt = -1, int cancelAt = -1)
{
    return {[memory, failAt](int address, int count, uint8_t *out) {
                if (address == failAt)
                    return false;
                std::copy_n(memory.constData() + address, count, out);
                return true;
            },
            [cancelAt](int done) { return done != cancelAt; }};
}

class PanelDump : public ::testing::Test {
protected:
    explicit PanelDump(const RigSetup &setup = {.memory = PatternMemory()}) : p(setup) {}
    void SetUp() override
    {
        ASSERT_TRUE(p.ready());
        p.open(false, false, false, false);
        p.newFrames();
    }
    QString dumpPath() const { return p.rig.dir.file(QStringLiteral("dump.bin")); }

    PanelRig p;
};

class PanelDumpCutOff : public PanelDump {
protected:
    PanelDumpCutOff() : PanelDump({.flags = {"--unplug-after", "100"}, .memory = PatternMemory()}) {}
};

} // namespace

TEST(MemDumpFile, OnlyACompleteDumpTakesTheName)
{
    ScopedWorkDir dir;
    const QByteArray memory = PatternMemory();
    const QString path = dir.file(QStringLiteral("dump.bin"));

    EXPECT_EQ(DumpMemory(path, StepsOver(memory)).outcome, MemDumpOutcome::Saved);
    EXPECT_EQ(ReadWholeFile(path), memory);

    // A read failing on the last block, or a cancel there, leaves the file as it was.
    ASSERT_TRUE(WriteWholeFile(path, "old dump"));
    const int lastBlock = MemorySize - MemDumpBlockBytes;
    const MemDumpResult failed = DumpMemory(path, StepsOver(memory, lastBlock));
    EXPECT_EQ(failed.outcome, MemDumpOutcome::ReadFailed);
    EXPECT_EQ(failed.address, lastBlock);
    EXPECT_EQ(DumpMemory(path, StepsOver(memory, -1, lastBlock)).outcome, MemDumpOutcome::Cancelled);
    EXPECT_EQ(ReadWholeFile(path), "old dump");
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"dump.bin"});

    // A folder that cannot take the file is known before any read.
    int reads = 0;
    MemDumpSteps counting = StepsOver(memory);
    counting.readBlock = [&reads](int, int, uint8_t *) { return ++reads > 0; };
    const MemDumpResult unwritable = DumpMemory(dir.file(QStringLiteral("missing/dump.bin")), counting);
    EXPECT_EQ(unwritable.outcome, MemDumpOutcome::WriteFailed);
    EXPECT_EQ(reads, 0);
    EXPECT_TRUE(MemDumpNote(unwritable, QStringLiteral("x.bin")).contains(QStringLiteral("не записан")));
}

TEST_F(PanelDump, DumpsTheWholeMemoryAndTheInstrumentStartsFromIt)
{
    {
        FileAnswer answer(dumpPath());
        p.panel.Key_SaveMemory->click();
    }
    const std::vector<QByteArray> frames = p.newFrames();
    ASSERT_EQ(frames.size(), size_t(MemDumpBlocks));
    EXPECT_EQ(frames.front(), Hex("3A 06 01 00 00 80"));
    EXPECT_EQ(frames.back(), Hex("3A 06 01 80 FF 80"));
    EXPECT_EQ(ReadWholeFile(dumpPath()), PatternMemory());
    EXPECT_TRUE(p.panel.LDumpNote->text().contains(QStringLiteral("сохранена")));
    EXPECT_TRUE(p.rig.messages.messages().empty());
    EXPECT_FALSE(WatchMode);

    // A second instrument started from the dump holds the same bytes, and
    // the dump stays as it was.
    VirtualInstrument again(p.rig.dir.path(), {.port = "COM2", .flags = {"--from", dumpPath()}});
    ASSERT_TRUE(again.isReady());
    PortName = QStringLiteral("COM2");
    const QString second = p.rig.dir.file(QStringLiteral("again.bin"));
    {
        FileAnswer answer(second);
        p.panel.Key_SaveMemory->click();
    }
    EXPECT_EQ(ReadWholeFile(second), PatternMemory());
    EXPECT_EQ(again.stop(), 0);
    EXPECT_EQ(ReadWholeFile(dumpPath()), PatternMemory());
}

TEST_F(PanelDump, CancelLeavesNoFile)
{
    struct Way {
        const char *name;
        std::function<void(TPriborF &, TObmenF &)> cancel;
    };
    const Way ways[] = {
        {"progress window", [](TPriborF &panel, TObmenF &) {
             panel.findChild<QProgressDialog *>(QStringLiteral("MemDumpProgress"))->cancel();
         }},
        {"exchange stop", [](TPriborF &, TObmenF &exchange) { exchange.Key_Stop->click(); }},
        {"exchange exit", [](TPriborF &, TObmenF &exchange) { exchange.Key_Exit->click(); }},
    };
    for (const Way &way : ways) {
        SCOPED_TRACE(way.name);
        const size_t before = p.rig.frames().size();
        WhenReceived(p.rig, int(before) + 20, [&] { way.cancel(p.panel, *p.rig.window); });
        {
            FileAnswer answer(dumpPath());
            p.panel.Key_SaveMemory->click();
        }
        // Far short of the whole dump; the cancel is polled, so a few
        // blocks more may go out before it lands.
        EXPECT_LT(p.rig.frames().size(), before + 100);
        EXPECT_TRUE(DumpFolder(p.rig.dir.path()).isEmpty()) << DumpFolder(p.rig.dir.path()).join(' ').toStdString();
        EXPECT_FALSE(p.panel.LDumpNote->text().contains(QStringLiteral("сохранена")));
        EXPECT_TRUE(p.rig.messages.messages().empty());
        EXPECT_FALSE(WatchMode);
    }
}

TEST_F(PanelDumpCutOff, ALostLineKeepsTheOldFileWhole)
{
    ASSERT_TRUE(WriteWholeFile(dumpPath(), "yesterday's dump"));
    {
        FileAnswer answer(dumpPath());
        p.panel.Key_SaveMemory->click();
    }
    // The exchange's one box, and no second one from the dump.
    EXPECT_EQ(p.rig.messages.messages().size(), 1u);
    EXPECT_EQ(ReadWholeFile(dumpPath()), "yesterday's dump");
    EXPECT_EQ(DumpFolder(p.rig.dir.path()), QStringList{"dump.bin"});
    EXPECT_TRUE(p.panel.LDumpNote->text().contains(QStringLiteral("с адреса 12800")))
        << p.panel.LDumpNote->text().toStdString();
}
