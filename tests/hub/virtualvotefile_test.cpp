// The machine-wide virtual-vote file: location, format, and files that are
// malformed, truncated or hostile.

#include "support/fakedriver.h"
#include "support/testhub.h"

#include <gtest/gtest.h>

#include "hub/virtualvotefile.h"
#include "platform/platform.h"
#include "support/virtualvotefile.h"

#include <QtCore/QBuffer>
#include <QtCore/QDir>
#include <QtCore/QRandomGenerator>
#include <QtCore/QTemporaryDir>

using namespace Orvexsystem;
using namespace OrvexTest;

namespace {

QStringList readBytes(const QByteArray &content, bool *ok = nullptr)
{
    QBuffer buffer;
    buffer.setData(content);
    buffer.open(QIODevice::ReadOnly);
    QStringList lines{QStringLiteral("stale")};
    const bool result = VirtualVoteFile::read(buffer, lines);
    if (ok)
        *ok = result;
    return lines;
}

const VirtualVoteRecord desk{"00012345", "0001ZZZZ", "Desk"};
const VirtualVoteRecord door{"0000ABCD", "00AB", "Door"};

} // namespace

TEST(VirtualVoteFile, RecordsBecomeLines)
{
    bool ok = false;
    EXPECT_EQ(readBytes(virtualVoteFileBytes({desk, door}), &ok),
              (QStringList{"000123450001#Desk", "0000ABCD00AB#Door"}));
    EXPECT_TRUE(ok);

    // Parts end early at a zero byte, the name keeps 9 bytes, bytes are
    // single-byte characters.
    VirtualVoteRecord odd{"12\0" "45678", "9\0" "ABCDEF", "Twelve bytes"};
    odd.uid = QByteArray("12\0" "45678", 8);
    odd.part2 = QByteArray("9\0" "ABCDEF", 8);
    VirtualVoteRecord latin{"FFFFFFFF", "0002", QByteArray("Caf\xE9\0zz", 7)};
    EXPECT_EQ(readBytes(virtualVoteFileBytes({odd, latin})),
              (QStringList{"129#Twelve by", QString::fromLatin1("FFFFFFFF0002#Caf\xE9")}));
}

TEST(VirtualVoteFile, HeaderIsCheckedFieldByField)
{
    VirtualVoteHeader lower;
    lower.signature = "vvrDev";
    EXPECT_EQ(readBytes(virtualVoteFileBytes({desk}, lower)).size(), 1);

    auto header = [](const QByteArray &signature, qint32 version, quint16 marker) {
        VirtualVoteHeader h;
        h.signature = signature;
        h.version = version;
        h.marker = marker;
        return h;
    };
    for (const VirtualVoteHeader &bad :
         {header("VVRDEX", 3, 1), header("VVRDEV", 2, 1), header("VVRDEV", 3, 2)}) {
        bool ok = true;
        EXPECT_TRUE(readBytes(virtualVoteFileBytes({desk}, bad), &ok).isEmpty());
        EXPECT_FALSE(ok);
    }
    // Cut anywhere inside the header: refused.
    const QByteArray whole = virtualVoteFileBytes({});
    for (int n = 0; n < whole.size(); ++n) {
        bool ok = true;
        EXPECT_TRUE(readBytes(whole.left(n), &ok).isEmpty());
        EXPECT_FALSE(ok) << n;
    }
    bool ok = false;
    EXPECT_TRUE(readBytes(whole, &ok).isEmpty());
    EXPECT_TRUE(ok);
}

TEST(VirtualVoteFile, CountsThatDisagreeWithTheFileAndTruncatedRecords)
{
    VirtualVoteHeader header;
    bool ok = false;
    header.count = -5;
    EXPECT_TRUE(readBytes(virtualVoteFileBytes({desk, door}, header), &ok).isEmpty());
    EXPECT_TRUE(ok);
    header.count = 1; // fewer than present: only that many
    EXPECT_EQ(readBytes(virtualVoteFileBytes({desk, door}, header)).size(), 1);
    header.count = 0x7FFFFFFF; // far more than present: those present
    EXPECT_EQ(readBytes(virtualVoteFileBytes({desk, door}, header), &ok).size(), 2);
    EXPECT_TRUE(ok);

    // Truncated records are dropped, whole records kept.
    const QByteArray whole = virtualVoteFileBytes({desk, door});
    const int firstEnd = VirtualVoteFile::HeaderLength + VirtualVoteFile::RecordFixedLength + 4;
    for (int n = firstEnd; n < whole.size(); ++n)
        EXPECT_EQ(readBytes(whole.left(n)), QStringList{"000123450001#Desk"}) << n;
    // A declared name longer than what is left of the file.
    VirtualVoteRecord cut = door;
    cut.nameLength = 60000;
    EXPECT_EQ(readBytes(virtualVoteFileBytes({desk, cut})), QStringList{"000123450001#Desk"});
}

TEST(VirtualVoteFile, LongNamesAreCutAndSkippedWithoutLosingLaterRecords)
{
    VirtualVoteRecord longName = desk;
    longName.name = QByteArray(65535, 'N');
    VirtualVoteRecord justOver = door;
    justOver.name = QByteArray(65, 'M');
    EXPECT_EQ(readBytes(virtualVoteFileBytes({longName, justOver, desk})),
              (QStringList{"000123450001#NNNNNNNNN", "0000ABCD00AB#MMMMMMMMM",
                           "000123450001#Desk"}));
    VirtualVoteRecord empty = desk;
    empty.name.clear();
    EXPECT_EQ(readBytes(virtualVoteFileBytes({empty})), QStringList{"000123450001#"});
}

TEST(VirtualVoteFile, RandomBytesNeverCrash)
{
    QRandomGenerator random(1234);
    const QByteArray header = virtualVoteFileBytes({}).left(12);
    for (int i = 0; i < 500; ++i) {
        QByteArray tail(int(random.bounded(400)), '\0');
        for (char &c : tail)
            c = char(random.bounded(256));
        // Half with a valid header, so the record reader gets the garbage.
        const QByteArray content = (i % 2 ? header : QByteArray()) + tail;
        const QStringList lines = readBytes(content);
        EXPECT_LE(lines.size(), qMax(0, int(content.size()) / VirtualVoteFile::RecordFixedLength));
    }
}

TEST(VirtualVoteFile, LinesSplitIntoHandsetFields)
{
    quint32 uid = 0;
    quint16 address = 0;
    QString name;
    QByteArray hexId;
    ASSERT_TRUE(VirtualVoteFile::parseLine("000123450001#Desk", uid, address, name, hexId));
    EXPECT_EQ(uid, 0x12345u);
    EXPECT_EQ(address, 0x2345);
    EXPECT_EQ(name, "Desk");
    EXPECT_EQ(hexId, "000123450001");

    ASSERT_TRUE(VirtualVoteFile::parseLine("XYZ#a#b", uid, address, name, hexId));
    EXPECT_EQ(uid, 0u); // not hexadecimal
    EXPECT_EQ(name, "a#b");
    ASSERT_TRUE(VirtualVoteFile::parseLine("#1#n", uid, address, name, hexId));
    EXPECT_EQ(hexId, "#1");
    EXPECT_FALSE(VirtualVoteFile::parseLine("000123450001#", uid, address, name, hexId));
    EXPECT_FALSE(VirtualVoteFile::parseLine("#Desk", uid, address, name, hexId));
    EXPECT_FALSE(VirtualVoteFile::parseLine("no hash", uid, address, name, hexId));
}

TEST(MachineDataFolder, SearchesEveryEntryAndWritesWhereTheFileIs)
{
    qunsetenv("XDG_DATA_DIRS");
    EXPECT_EQ(Platform::machineDataFolders(), (QStringList{"/usr/local/share", "/usr/share"}));
    qputenv("XDG_DATA_DIRS", "");
    EXPECT_EQ(Platform::machineDataFolders(), (QStringList{"/usr/local/share", "/usr/share"}));
    qputenv("XDG_DATA_DIRS", "relative/dir::/opt/data/:/usr/share");
    EXPECT_EQ(Platform::machineDataFolders(), (QStringList{"/opt/data", "/usr/share"}));
    EXPECT_EQ(Platform::joinPath("/", "a"), "/a");

    QTemporaryDir first, second;
    ASSERT_TRUE(first.isValid() && second.isValid());
    qputenv("XDG_DATA_DIRS", (first.path() + ":" + second.path()).toLocal8Bit());
    const QString relative = "Vendor/file.ini";
    EXPECT_TRUE(Platform::machineDataFileForReading(relative).isEmpty());
    EXPECT_EQ(Platform::machineDataFileForWriting(relative), first.path() + "/" + relative);
    // A file that only the second entry holds is found there and written there.
    ASSERT_TRUE(QDir().mkpath(second.path() + "/Vendor"));
    QFile file(second.path() + "/" + relative);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    EXPECT_EQ(Platform::machineDataFileForReading(relative), file.fileName());
    EXPECT_EQ(Platform::machineDataFileForWriting(relative), file.fileName());
}

TEST(HubVirtualVoteFile, ReadsTheFileUnderTheMachineDataFolder)
{
    QTemporaryDir first, second;
    ASSERT_TRUE(first.isValid() && second.isValid());
    qputenv("XDG_DATA_DIRS", (first.path() + ":" + second.path()).toLocal8Bit());
    FakeDriver driver;
    TestSystem system(driver);
    TestHub hub(&system, 1);

    QStringList lines{"stale"};
    EXPECT_FALSE(hub.readVirtualVoteFile(lines)); // no file
    EXPECT_TRUE(lines.isEmpty());

    // A file placed in a later folder is found; one in an earlier folder wins.
    ASSERT_TRUE(writeVirtualVoteFile(second.path(), virtualVoteFileBytes({desk})));
    EXPECT_TRUE(hub.readVirtualVoteFile(lines));
    EXPECT_EQ(lines.size(), 1);

    ASSERT_TRUE(writeVirtualVoteFile(first.path(), virtualVoteFileBytes({door})));
    EXPECT_TRUE(hub.readVirtualVoteFile(lines));
    EXPECT_EQ(lines, QStringList{"0000ABCD00AB#Door"});

    // A folder in the file's place is no file.
    const QString path = virtualVoteFilePath(first.path());
    ASSERT_TRUE(QFile::remove(path));
    ASSERT_TRUE(QDir().mkpath(path));
    EXPECT_FALSE(hub.readVirtualVoteFile(lines));
}
