#pragma once
// The update files: one slot for the system update file (the amplifier's DSP software) and one
// for the preset update file (the speaker EQ presets). A slot keeps the chosen file open,
// read-only, until the update is over; the update sequences read it block by block and the
// update dialog shows its name. The checks tell whether a file is well formed before anything
// is sent; they show nothing themselves (the update sequence shows the INVALID_* text).
//
// System update file: 4 zero bytes at 0; the bytes 00 01 .. 0F at 0x4000; the image at 0x10000,
// 704 blocks of 256 bytes; at 0x3C000 one byte per block, the block's byte sum modulo 256.
// Everything from 0x10000 to the end of the file is sent, as SystemBlockCount(length) blocks.
// Preset update file: ten records of 264 bytes from 0, each 65 little-endian 32-bit words and
// their sum modulo 2^32 as a 66th word. The first 32760 bytes are sent, as 2730 blocks.
//
// Threads: every operation may be called from any thread. Each slot has its own lock, held for
// one read, open or close and never while the chooser or a message is shown. A close while
// another thread reads (the update dialog closing during an update) waits for the read in
// progress, and every later read fails: a closed file is never used.
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>

class CUpdateFile {
public:
    // System update file layout.
    static constexpr std::uint32_t SYSTEM_HEADER_OFFSET = 0x0;
    static constexpr std::size_t SYSTEM_HEADER_LEN = 4;
    static constexpr std::uint32_t SYSTEM_MARKER_OFFSET = 0x4000;
    static constexpr std::size_t SYSTEM_MARKER_LEN = 16;
    static constexpr std::uint32_t SYSTEM_DATA_OFFSET = 0x10000;  // image start, and where sending starts
    static constexpr int SYSTEM_IMAGE_BLOCKS = 704;
    static constexpr std::size_t SYSTEM_IMAGE_BLOCK_LEN = 256;
    static constexpr std::uint32_t SYSTEM_SUMS_OFFSET = 0x3C000;  // one checksum byte per image block
    static constexpr std::uint32_t SYSTEM_CHECKED_LEN = SYSTEM_SUMS_OFFSET + SYSTEM_IMAGE_BLOCKS;  // 246464
    // Preset update file layout.
    static constexpr int PRESET_RECORDS = 10;
    static constexpr std::size_t PRESET_RECORD_LEN = 264;
    static constexpr int PRESET_RECORD_WORDS = 65;  // followed by their sum
    static constexpr std::uint32_t PRESET_CHECKED_LEN = PRESET_RECORDS * PRESET_RECORD_LEN;  // 2640
    // What the update sequences send.
    static constexpr std::size_t SEND_BLOCK_LEN = 12;
    static constexpr int PRESET_SEND_BLOCKS = 2730;  // the first 32760 bytes, whatever the length

    // The file dialog's settings.
    static constexpr const char* SYSTEM_FILTER = "Mixer Software Update files|*.bin|";
    static constexpr const char* PRESET_FILTER = "Mixer Preset Update files|*.bin|";
    static constexpr const char* DEFAULT_EXTENSION = "bin";
    static constexpr const char* INITIAL_NAME = "WriteFlashFile";
    // What the update sequence shows for a file that fails its check.
    static constexpr const char* INVALID_SYSTEM_TEXT = "Error: Invalid System Update file!";
    static constexpr const char* INVALID_PRESET_TEXT = "Error: Invalid Preset Update file!";

    // Where a check failed, for a report that follows the INVALID_* text.
    struct CheckFailure {
        enum Check : unsigned char {
            NONE,           // the check passed
            SYSTEM_HEADER,  // the 4 bytes at 0 are not all zero
            SYSTEM_MARKER,  // the 16 bytes at 0x4000 are not 00 01 .. 0F
            SYSTEM_BLOCK,   // an image block's sum differs from its checksum byte
            PRESET_RECORD,  // a preset record's word sum differs from its checksum word
        };
        enum Cause : unsigned char {
            NO_CAUSE,     // the check passed
            WRONG_VALUE,  // the data was read and is wrong
            PAST_END,     // the data lies partly or wholly past the end of the file
            NOT_OPEN,     // no file is open in the slot (never chosen, or closed meanwhile)
            READ_ERROR,   // the system refused the read (text says why)
        };
        Check check = NONE;
        Cause cause = NO_CAUSE;
        int index = -1;            // image block 0..703 or preset record 0..9; -1 for header and marker
        std::uint32_t offset = 0;  // file offset of the data that is wrong or could not be read
        std::string text;          // one line: which check, where, and what was found
    };

    CUpdateFile() = default;
    virtual ~CUpdateFile() = default;
    CUpdateFile(const CUpdateFile&) = delete;
    CUpdateFile& operator=(const CUpdateFile&) = delete;

    // Closes the slot's file if one is open, then asks the file chooser (kmr::ChooseFile) for an
    // existing file and opens it read-only. True if a file was chosen and opened. A cancelled
    // choice returns false silently; a file that cannot be opened (missing, no permission, not a
    // regular file, over 2 GiB) returns false after one "Error: ..." message naming the path and
    // the reason. Either way the slot is then closed. The name is kept even when the open fails.
    bool OpenSystemFile();
    bool OpenPresetFile();

    // True if a file was open and has been closed, false if none was open. The name stays.
    bool CloseSystemFile();
    bool ClosePresetFile();

    // Reads count bytes from offset (from the start of the file) into out. True only if exactly
    // count bytes were read. A range partly past the end of the file replaces only the bytes that
    // exist and returns false; out is untouched when no file is open.
    bool ReadSystemFile(std::uint32_t offset, std::size_t count, std::uint8_t* out);
    bool ReadPresetFile(std::uint32_t offset, std::size_t count, std::uint8_t* out);

    // True if the open file is well formed (layout above). Stops at the first failure; a file
    // that is too short for a check, a read error and no open file all make it invalid. When
    // where is given it tells where the check failed (or NONE when it passed).
    bool CheckSystemFile(CheckFailure* where = nullptr);
    bool CheckPresetFile(CheckFailure* where = nullptr);

    // The slot's state for the update dialog and the sequences: the open flag, the chosen name
    // without its directory (empty until a file is chosen), and the length taken at the open.
    bool IsSystemFileOpen() const { return m_system.IsOpen(); }
    bool IsPresetFileOpen() const { return m_preset.IsOpen(); }
    std::string SystemFileName() const { return m_system.Name(); }
    std::string PresetFileName() const { return m_preset.Name(); }
    std::int32_t SystemFileLength() const { return m_system.Length(); }
    std::int32_t PresetFileLength() const { return m_preset.Length(); }

    // Blocks of 12 bytes sent for a system file of length bytes: floor((length - 0x10000) / 12)
    // + 1. One more than the data fills when it is a multiple of 12; 0 or less for a file
    // shorter than 0x10000 bytes, which the sequence refuses.
    static int SystemBlockCount(std::int32_t length);

private:
    enum ReadStatus : unsigned char { READ_OK, READ_PAST_END, READ_NOT_OPEN, READ_FAILED };

    // One open file with its flag, name and length, under one lock. The slot owns the handle.
    class Slot {
    public:
        Slot() = default;
        ~Slot();
        Slot(const Slot&) = delete;
        Slot& operator=(const Slot&) = delete;

        // Closes any open file, keeps the name of path and opens it. On failure *error is the
        // reason and the slot is closed.
        bool Open(const std::string& path, std::string* error);
        bool Close();
        // Reads as ReadSystemFile does; *err is the errno of READ_FAILED.
        ReadStatus Read(std::uint32_t offset, std::size_t count, std::uint8_t* out, int* err);
        bool IsOpen() const;
        std::string Name() const;
        std::int32_t Length() const;

    private:
        mutable std::mutex m_lock;
        int m_fd = -1;  // the open flag is m_fd >= 0
        std::string m_name;
        std::int32_t m_length = 0;
    };

    bool OpenSlot(Slot& slot, const char* filter);
    // One read of a check: true if it read count bytes, else fills *where from the read's result.
    static bool CheckRead(Slot& slot, std::uint32_t offset, std::size_t count, std::uint8_t* out,
                          CheckFailure::Check check, int index, CheckFailure* where);

    Slot m_system;
    Slot m_preset;
};

// The program's one update file holder.
CUpdateFile& TheUpdateFile();
