// Every committed fuzz seed, replayed through its target's body: the inputs
// that once found a fault stay in the ordinary tests.

#include "WorkDir.h"

#include "fuzz/FuzzBodies.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

TEST(FuzzSeeds, EveryTargetReplaysItsSeeds)
{
    ScopedWorkDir dir;
    MessageRecorder messages;
    for (const FuzzTarget &target : FuzzTargets()) {
        const QDir seeds(QStringLiteral(ORBA_FUZZ_SEEDS "/") + QLatin1String(target.name));
        const QStringList names = seeds.entryList(QDir::Files, QDir::Name);
        EXPECT_FALSE(names.isEmpty()) << target.name << " has no seeds";
        for (const QString &name : names) {
            SCOPED_TRACE(std::string(target.name) + "/" + name.toStdString());
            QFile file(seeds.filePath(name));
            ASSERT_TRUE(file.open(QIODevice::ReadOnly));
            const QByteArray bytes = file.readAll();
            target.body({reinterpret_cast<const uint8_t *>(bytes.constData()), size_t(bytes.size())});
        }
    }
}
