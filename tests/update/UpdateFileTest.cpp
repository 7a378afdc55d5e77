#include "update/UpdateFile.h"

#include "UpdateFileMaker.h"
#include "platform/FileChooser.h"
#include "support/MessageRecorder.h"
#include "support/Wait.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <chrono>

#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;
using kmr::sim::PresetFileOptions;
using kmr::sim::SystemFileOptions;
using Failure = CUpdateFile::CheckFailure;
using Bytes = std::vector<std::uint8_t>;

namespace {

int OpenDescriptors()
{
    int n = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator("/proc/self/fd"))
        ++n;
    return n;
}

// A fresh folder, a chooser that answers with a path set by the test and records what it was
// asked, and a message recorder; each restored or removed afterwards.
class UpdateFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char folder[] = "/tmp/kmr_update_XXXXXX";
        ASSERT_NE(::mkdtemp(folder), nullptr);
        m_dir = folder;
        m_previousChooser = kmr::SetFileChooser([this](const std::string& filter, const std::string& ext,
                                                       const std::string& name, bool mustExist) {
            std::lock_guard<std::mutex> lock(m_chooserLock);
            m_asked.push_back(filter + "," + ext + "," + name + (mustExist ? ",must-exist" : ",any"));
            return m_answer;
        });
    }
    void TearDown() override
    {
        kmr::SetFileChooser(m_previousChooser);
        fs::remove_all(m_dir);
    }

    std::string Write(const std::string& name, const Bytes& bytes)
    {
        const std::string path = m_dir + "/" + name;
        std::string error;
        EXPECT_TRUE(kmr::sim::WriteUpdateFile(path, bytes, &error)) << error;
        return path;
    }
    void Choose(const std::string& path)
    {
        std::lock_guard<std::mutex> lock(m_chooserLock);
        m_answer = path;
    }
    bool OpenSystem(const Bytes& bytes, const std::string& name = "system.bin")
    {
        Choose(Write(name, bytes));
        return m_file.OpenSystemFile();
    }
    bool OpenPreset(const Bytes& bytes, const std::string& name = "preset.bin")
    {
        Choose(Write(name, bytes));
        return m_file.OpenPresetFile();
    }

    std::string m_dir;
    CUpdateFile m_file;
    MessageRecorder m_messages;
    std::mutex m_chooserLock;
    std::string m_answer;
    std::vector<std::string> m_asked;
    kmr::FileChooser m_previousChooser;
};

// ---- system update file ----

TEST_F(UpdateFileTest, TheExampleSystemFileIsValidAndEndsInAPartBlock)
{
    const Bytes bytes = kmr::sim::MakeSystemUpdateFile();
    ASSERT_EQ(bytes.size(), 246464u);
    ASSERT_TRUE(OpenSystem(bytes));
    EXPECT_EQ(m_file.SystemFileLength(), 246464);
    EXPECT_EQ(CUpdateFile::SystemBlockCount(m_file.SystemFileLength()), 15078);

    Failure where;
    where.check = Failure::SYSTEM_BLOCK;
    EXPECT_TRUE(m_file.CheckSystemFile(&where));
    EXPECT_EQ(where.check, Failure::NONE);
    EXPECT_EQ(where.cause, Failure::NO_CAUSE);

    // The last of the 15078 blocks holds the final 4 bytes and 8 past the end: the read says so
    // and replaces only the 4 bytes that exist.
    std::uint8_t block[12];
    std::fill(std::begin(block), std::end(block), 0xAA);
    EXPECT_FALSE(m_file.ReadSystemFile(0x10000 + 12 * 15077, 12, block));
    EXPECT_TRUE(std::equal(block, block + 4, bytes.end() - 4));
    EXPECT_TRUE(std::all_of(block + 4, block + 12, [](std::uint8_t b) { return b == 0xAA; }));
    EXPECT_TRUE(m_file.ReadSystemFile(0x10000 + 12 * 15076, 12, block));
    EXPECT_TRUE(std::equal(block, block + 12, bytes.end() - 16));
    EXPECT_TRUE(m_messages.Texts().empty());
}

TEST_F(UpdateFileTest, EachBrokenSystemFileFailsWhereItIsBroken)
{
    using O = SystemFileOptions;
    struct Case {
        O::Fault fault;
        int badBlock;
        std::uint32_t length;
        Failure::Check check;
        Failure::Cause cause;
        int index;
        std::uint32_t offset;
    };
    const Case cases[] = {
        {O::HEADER, 0, 246464, Failure::SYSTEM_HEADER, Failure::WRONG_VALUE, -1, 0},
        {O::MARKER, 0, 246464, Failure::SYSTEM_MARKER, Failure::WRONG_VALUE, -1, 0x4000},
        {O::BLOCK_SUM, 0, 246464, Failure::SYSTEM_BLOCK, Failure::WRONG_VALUE, 0, 0x10000},
        {O::BLOCK_SUM, 703, 246464, Failure::SYSTEM_BLOCK, Failure::WRONG_VALUE, 703, 0x10000 + 256 * 703},
        // One byte short: the last checksum byte cannot be read.
        {O::SHORT, 0, 0, Failure::SYSTEM_BLOCK, Failure::PAST_END, 703, 0x3C000 + 703},
        // Too short for each check in turn.
        {O::NONE, 0, 0, Failure::SYSTEM_HEADER, Failure::PAST_END, -1, 0},
        {O::NONE, 0, 3, Failure::SYSTEM_HEADER, Failure::PAST_END, -1, 0},
        {O::NONE, 0, 0x400F, Failure::SYSTEM_MARKER, Failure::PAST_END, -1, 0x4000},
        {O::NONE, 0, 0x10000 + 255, Failure::SYSTEM_BLOCK, Failure::PAST_END, 0, 0x10000},
        {O::NONE, 0, 0x3C000, Failure::SYSTEM_BLOCK, Failure::PAST_END, 0, 0x3C000},  // image without sums
    };
    for (const Case& c : cases) {
        O options;
        options.fault = c.fault;
        options.badBlock = c.badBlock;
        options.length = c.length;
        ASSERT_TRUE(OpenSystem(kmr::sim::MakeSystemUpdateFile(options)));
        Failure where;
        const std::string label = std::to_string(c.fault) + "/" + std::to_string(c.length);
        EXPECT_FALSE(m_file.CheckSystemFile(&where)) << label;
        EXPECT_EQ(where.check, c.check) << label;
        EXPECT_EQ(where.cause, c.cause) << label;
        EXPECT_EQ(where.index, c.index) << label;
        EXPECT_EQ(where.offset, c.offset) << label;
        EXPECT_FALSE(where.text.empty()) << label;
    }
    // The checks only report; the update sequence shows the message.
    EXPECT_TRUE(m_messages.Texts().empty());
}

TEST_F(UpdateFileTest, SystemChecksLookAtExactlyTheDocumentedBytes)
{
    SystemFileOptions longer;  // trailing bytes past the checksums are free too
    longer.length = 300000;
    Bytes bytes = kmr::sim::MakeSystemUpdateFile(longer);
    // A block of 256 bytes of 0x01 sums to 256: its checksum byte is 0x00.
    std::fill_n(bytes.begin() + 0x10000 + 256 * 5, 256, 0x01);
    bytes[0x3C000 + 5] = 0x00;
    // Bytes between the checked areas are free.
    bytes[4] = 0xFF;
    bytes[0x4010] = 0xFF;
    ASSERT_TRUE(OpenSystem(bytes));
    EXPECT_TRUE(m_file.CheckSystemFile());

    bytes[0x3C000 + 5] = 0x01;  // a wrong block 5 and a wrong block 9: the first one is reported
    bytes[0x3C000 + 9] ^= 0x80;
    ASSERT_TRUE(OpenSystem(bytes));
    Failure where;
    EXPECT_FALSE(m_file.CheckSystemFile(&where));
    EXPECT_EQ(where.index, 5);
    EXPECT_NE(where.text.find("image block 5"), std::string::npos) << where.text;
}

TEST(UpdateFileBlockCount, IsFlooredAndOneMoreThanTheDataFills)
{
    EXPECT_EQ(CUpdateFile::SystemBlockCount(246464), 15078);
    EXPECT_EQ(CUpdateFile::SystemBlockCount(0x10000), 1);
    EXPECT_EQ(CUpdateFile::SystemBlockCount(0x10000 + 11), 1);
    EXPECT_EQ(CUpdateFile::SystemBlockCount(0x10000 + 12), 2);
    EXPECT_EQ(CUpdateFile::SystemBlockCount(0x10000 - 1), 0);
    EXPECT_EQ(CUpdateFile::SystemBlockCount(0x10000 - 12), 0);
    EXPECT_EQ(CUpdateFile::SystemBlockCount(0x10000 - 13), -1);
    EXPECT_LE(CUpdateFile::SystemBlockCount(0), 0);
}

// ---- preset update file ----

TEST_F(UpdateFileTest, ValidPresetFilesOfAnyLengthFromTheTenRecords)
{
    for (std::uint32_t length : {32760u, 2640u, 40000u}) {
        PresetFileOptions options;
        options.length = length;
        ASSERT_TRUE(OpenPreset(kmr::sim::MakePresetUpdateFile(options)));
        EXPECT_EQ(m_file.PresetFileLength(), static_cast<std::int32_t>(length));
        Failure where;
        EXPECT_TRUE(m_file.CheckPresetFile(&where)) << length << ": " << where.text;
    }
}

TEST_F(UpdateFileTest, BrokenPresetFiles)
{
    PresetFileOptions options;
    options.fault = PresetFileOptions::SHORT;  // 2639 bytes: record 9's checksum word is cut
    ASSERT_TRUE(OpenPreset(kmr::sim::MakePresetUpdateFile(options)));
    Failure where;
    EXPECT_FALSE(m_file.CheckPresetFile(&where));
    EXPECT_EQ(where.check, Failure::PRESET_RECORD);
    EXPECT_EQ(where.cause, Failure::PAST_END);
    EXPECT_EQ(where.index, 9);
    EXPECT_EQ(where.offset, 264u * 9 + 260);

    // A good first record and a wrong second one; records 2 on are wrong too but never reached.
    options = {};
    options.fault = PresetFileOptions::RECORD_SUM;
    options.badRecord = 1;
    Bytes bytes = kmr::sim::MakePresetUpdateFile(options);
    bytes[264 * 2 + 260] ^= 0x01;
    bytes[264 * 9 + 260] ^= 0x01;
    ASSERT_TRUE(OpenPreset(bytes));
    EXPECT_FALSE(m_file.CheckPresetFile(&where));
    EXPECT_EQ(where.cause, Failure::WRONG_VALUE);
    EXPECT_EQ(where.index, 1);
    EXPECT_EQ(where.offset, 264u);
    EXPECT_TRUE(m_messages.Texts().empty());
}

TEST_F(UpdateFileTest, PresetWordsAreLittleEndianAndSummedModulo2To32)
{
    Bytes bytes = kmr::sim::MakePresetUpdateFile();
    // Record 0: 65 words of 1 need the checksum bytes 41 00 00 00.
    for (int w = 0; w < 65; ++w) {
        const std::uint8_t one[4] = {1, 0, 0, 0};
        std::copy(one, one + 4, bytes.begin() + 4 * w);
    }
    const std::uint8_t sum[4] = {0x41, 0, 0, 0};
    std::copy(sum, sum + 4, bytes.begin() + 260);
    // Record 3: 0xFFFFFFFF twice and 2 sum to 0 once the carry is dropped.
    std::fill_n(bytes.begin() + 264 * 3, 264, 0);
    std::fill_n(bytes.begin() + 264 * 3, 8, 0xFF);
    bytes[264 * 3 + 8] = 2;
    ASSERT_TRUE(OpenPreset(bytes));
    Failure where;
    EXPECT_TRUE(m_file.CheckPresetFile(&where)) << where.text;

    bytes[260] = 0x00;  // big-endian 00 00 00 41 is wrong
    bytes[263] = 0x41;
    ASSERT_TRUE(OpenPreset(bytes));
    EXPECT_FALSE(m_file.CheckPresetFile(&where));
    EXPECT_EQ(where.index, 0);
}

// ---- choosing, opening and closing ----

TEST_F(UpdateFileTest, ChooserIsAskedWithEachSlotsFilter)
{
    Choose("");
    EXPECT_FALSE(m_file.OpenSystemFile());
    EXPECT_FALSE(m_file.OpenPresetFile());
    ASSERT_EQ(m_asked.size(), 2u);
    EXPECT_EQ(m_asked[0], "Mixer Software Update files|*.bin|,bin,WriteFlashFile,must-exist");
    EXPECT_EQ(m_asked[1], "Mixer Preset Update files|*.bin|,bin,WriteFlashFile,must-exist");
    EXPECT_TRUE(m_messages.Texts().empty());  // a cancel is silent
}

TEST_F(UpdateFileTest, CancelledOrFailedChoiceLeavesTheSlotClosed)
{
    ASSERT_TRUE(OpenSystem(kmr::sim::MakeSystemUpdateFile(), "first.bin"));
    Choose("");
    EXPECT_FALSE(m_file.OpenSystemFile());
    EXPECT_FALSE(m_file.IsSystemFileOpen());
    EXPECT_FALSE(m_file.CloseSystemFile());
    std::uint8_t b = 0x5A;
    EXPECT_FALSE(m_file.ReadSystemFile(0, 1, &b));
    EXPECT_EQ(b, 0x5A);
    Failure where;
    EXPECT_FALSE(m_file.CheckSystemFile(&where));
    EXPECT_EQ(where.cause, Failure::NOT_OPEN);

    // Without any chooser installed, a choice is a cancel.
    const kmr::FileChooser ours = kmr::SetFileChooser({});
    EXPECT_FALSE(m_file.OpenPresetFile());
    kmr::SetFileChooser(ours);
    EXPECT_TRUE(m_messages.Texts().empty());
}

TEST_F(UpdateFileTest, ReopeningReplacesThePreviousFileAndClosesIt)
{
    SystemFileOptions other;
    other.seed = 7;
    other.length = 250000;
    const Bytes second = kmr::sim::MakeSystemUpdateFile(other);
    ASSERT_TRUE(OpenSystem(kmr::sim::MakeSystemUpdateFile(), "first.bin"));
    const int descriptors = OpenDescriptors();
    ASSERT_TRUE(OpenSystem(second, "second.bin"));
    EXPECT_EQ(OpenDescriptors(), descriptors);  // the first file's handle is gone
    EXPECT_EQ(m_file.SystemFileName(), "second.bin");
    EXPECT_EQ(m_file.SystemFileLength(), 250000);
    std::uint8_t block[12];
    ASSERT_TRUE(m_file.ReadSystemFile(0x10000, 12, block));
    EXPECT_TRUE(std::equal(block, block + 12, second.begin() + 0x10000));

    // Closing keeps the name on display; a second close has nothing to close.
    EXPECT_TRUE(m_file.CloseSystemFile());
    EXPECT_EQ(OpenDescriptors(), descriptors - 1);
    EXPECT_FALSE(m_file.CloseSystemFile());
    EXPECT_EQ(m_file.SystemFileName(), "second.bin");
    EXPECT_FALSE(m_file.ReadSystemFile(0x10000, 12, block));
}

TEST_F(UpdateFileTest, FilesThatCannotBeOpenedFailWithOneClearMessage)
{
    const std::string fifo = m_dir + "/pipe.bin";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    // A FIFO with no writer would block a plain open forever.
    std::vector<std::string> paths = {m_dir + "/missing.bin", m_dir, fifo};
    if (::geteuid() != 0) {  // file permissions do not bind root
        paths.push_back(Write("locked.bin", kmr::sim::MakePresetUpdateFile()));
        ::chmod(paths.back().c_str(), 0);
    }
    for (const std::string& path : paths) {
        m_messages.Clear();
        ASSERT_TRUE(OpenSystem(kmr::sim::MakeSystemUpdateFile()));  // replaced by nothing
        Choose(path);
        EXPECT_FALSE(m_file.OpenSystemFile()) << path;
        EXPECT_FALSE(m_file.IsSystemFileOpen()) << path;
        const auto texts = m_messages.Texts();
        ASSERT_EQ(texts.size(), 1u) << path;
        EXPECT_EQ(texts[0].rfind("Error: ", 0), 0u) << texts[0];
        EXPECT_NE(texts[0].find(path), std::string::npos) << texts[0];
    }
}

// ---- threads ----

// The update dialog may close the file while the sequence thread reads it: every read either
// returns the file's bytes or fails; none uses a closed or reused handle.
TEST_F(UpdateFileTest, CloseDuringReadsFromAnotherThread)
{
    const Bytes bytes = kmr::sim::MakeSystemUpdateFile();
    ASSERT_TRUE(OpenSystem(bytes));
    std::atomic<int> goodReads{0};
    std::atomic<bool> wrongBytes{false};
    std::atomic<bool> readAfterFailure{false};
    TestThread reader([&] {
        std::uint8_t block[12];
        int i = 0;
        while (m_file.ReadSystemFile(0x10000 + 12 * i, 12, block)) {
            if (!std::equal(block, block + 12, bytes.begin() + 0x10000 + 12 * i))
                wrongBytes = true;
            goodReads.fetch_add(1);
            i = (i + 1) % 15000;
        }
        // Once closed, stays closed.
        for (int k = 0; k < 100; ++k)
            if (m_file.ReadSystemFile(0x10000, 12, block))
                readAfterFailure = true;
    });
    EXPECT_TRUE(WaitUntil([&] { return goodReads.load() >= 1000; }, std::chrono::seconds(10)));
    EXPECT_TRUE(m_file.CloseSystemFile());
    reader.Join();
    EXPECT_FALSE(wrongBytes);
    EXPECT_FALSE(readAfterFailure);
}

// A check racing a close either passes (it finished first) or says the file was closed.
TEST_F(UpdateFileTest, CloseDuringACheck)
{
    ASSERT_TRUE(OpenPreset(kmr::sim::MakePresetUpdateFile()));
    for (int round = 0; round < 20; ++round) {
        ASSERT_TRUE(OpenSystem(kmr::sim::MakeSystemUpdateFile()));
        Failure where;
        bool valid = false;
        std::atomic<bool> started{false};
        TestThread checker([&] {
            started = true;
            valid = m_file.CheckSystemFile(&where);
        });
        EXPECT_TRUE(WaitUntil([&] { return started.load(); }, std::chrono::seconds(5)));
        m_file.CloseSystemFile();
        checker.Join();
        if (!valid) {
            EXPECT_EQ(where.cause, Failure::NOT_OPEN) << where.text;
        }
    }
    EXPECT_TRUE(m_file.CheckPresetFile());  // the other slot was never disturbed
}

// Reopening while another thread reads: each successful read comes wholly from one of the files.
TEST_F(UpdateFileTest, ReopenDuringReadsNeverMixesFiles)
{
    SystemFileOptions other;
    other.seed = 99;
    const Bytes a = kmr::sim::MakeSystemUpdateFile();
    const Bytes b = kmr::sim::MakeSystemUpdateFile(other);
    const std::string pathA = Write("a.bin", a);
    const std::string pathB = Write("b.bin", b);
    Choose(pathA);
    ASSERT_TRUE(m_file.OpenSystemFile());

    std::atomic<bool> stop{false};
    std::atomic<bool> mixed{false};
    std::atomic<int> reads{0};
    TestThread reader([&] {
        std::uint8_t block[256];
        for (int k = 0; !stop; k = (k + 1) % 704) {
            const std::size_t at = 0x10000 + 256 * k;
            if (m_file.ReadSystemFile(static_cast<std::uint32_t>(at), 256, block)) {
                if (!std::equal(block, block + 256, a.begin() + at) && !std::equal(block, block + 256, b.begin() + at))
                    mixed = true;
                reads.fetch_add(1);
            }
        }
    });
    for (int round = 0; round < 200; ++round) {
        Choose(round % 2 ? pathA : pathB);
        EXPECT_TRUE(m_file.OpenSystemFile());
        if (round % 50 == 0)
            m_file.CloseSystemFile();
    }
    EXPECT_TRUE(
        WaitUntil([&] { return reads.load() >= 100 || !m_file.IsSystemFileOpen(); }, std::chrono::seconds(10)));
    stop = true;
    reader.Join();
    EXPECT_FALSE(mixed);
}

// ---- the maker ----

TEST(UpdateFileMaker, IsDeterministicPerSeed)
{
    EXPECT_EQ(kmr::sim::MakeSystemUpdateFile(), kmr::sim::MakeSystemUpdateFile());
    SystemFileOptions other;
    other.seed = 2;
    EXPECT_NE(kmr::sim::MakeSystemUpdateFile(), kmr::sim::MakeSystemUpdateFile(other));
}

} // namespace
