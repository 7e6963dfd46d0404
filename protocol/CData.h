// CData: the record set of one receiver link. It holds the latest record of every message kind,
// the extractor state of the binary framer and of the NMEA sentence collector, and the packet
// sequence number. A reader thread parses into sets of its own; views keep copies (CopyFrom).
// A set is a plain value: copying it is safe and never shares state.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "protocol/GnssNmeaState.h"
#include "protocol/ReceiverFix.h"
#include "protocol/Records.h"
#include "protocol/SatelliteTable.h"
#include "protocol/UbxRecords.h"

// In/out reference to the unparsed rest of a chunk. The extractors advance `position` and reduce
// `count` by what they consumed; `position` becomes null once the whole chunk is consumed.
struct ChunkRef
{
    const std::uint8_t* position = nullptr;
    std::size_t count = 0;
};

// Results of the packet import.
inline constexpr int kImportRejected = 0;  // nothing imported (incomplete, framing error, bad check)
inline constexpr int kImportAccepted = 1;
inline constexpr int kImportNavEpoch = 2;  // measurement message that ran a navigation epoch (mode 2)

// Import modes: 1 decodes the receiver's messages, 2 feeds the navigation engine.
inline constexpr int kImportReceiver = 1;
inline constexpr int kImportNavigation = 2;

// Which record the week and time-of-week of the set are taken from.
enum class TimeSelection : std::uint8_t
{
    None,
    Nav,
    Dop,
    Sv,
    Meas
};

// Process-wide count of completed frames over all record sets (wraps at 2^32).
extern std::atomic<std::uint32_t> g_packetCounter;

class NavEngine;

class CData
{
public:
    CData();

    // ---- binary framing (packet extractor) ----
    // Scans `chunk` until a frame completes, a framing error occurs or the chunk ends; returns
    // kImportRejected or the result of ImportBinaryPacket. `diagnostic` is emptied on entry and,
    // with the debug switch on, receives an error text. `byteOrder` non-zero byte-reverses the
    // 16/32-bit fields. `importMode` is kImportReceiver or kImportNavigation.
    [[nodiscard]] int BuildBinaryDataPacket(ChunkRef& chunk, std::string& diagnostic, int byteOrder,
                                            int importMode);
    // Checks one unstuffed frame content (length byte first, checksum last) and decodes it: 0 rejected
    // (the records are cleared all the same), 1 accepted, 2 a measurement that ran a navigation epoch.
    // Bytes the decoders read past the content count as zero.
    [[nodiscard]] int ImportBinaryPacket(std::span<const std::uint8_t> content, std::string& diagnostic,
                                         int byteOrder, int importMode);

    // ---- NMEA input ----
    // Consumes the whole chunk (chunk.position becomes null); returns the result of the last
    // sentence completed in it (1 imported, 0 dropped) or 0 when none completed. Sentences of any
    // talker (two capital letters) are collected; lines starting with '#' are comments and skipped.
    [[nodiscard]] int BuildNmeaSentence(ChunkRef& chunk, std::string& diagnostic, int port);
    // Identifies, logs (through the installed port log) and decodes one stored sentence ("GPGGA,...");
    // sets ggaSeen when the views are to be told (see ggaSeen). Returns 1, also for types it ignores.
    int ImportNmeaSentence(std::string_view sentence, int port);
    // The port's "GPS talker only" setting: when on, the collector and the import read only what
    // the classic program read ($GP sentences of the six classic types); off by default.
    void SetGpsTalkerOnly(bool on) { m_gpsTalkerOnly = on; }
    [[nodiscard]] bool GpsTalkerOnly() const { return m_gpsTalkerOnly; }

    // ---- u-blox binary protocol (UBX); the frames come from ubx::CUbxExtractor ----
    // Decodes one message (class, id, payload without header and checksum) into `ublox`, and from it
    // the fix, the satellite table and the classic NAV, DOP and SV records; a position report (kUbxFix)
    // then goes to the installed fix sink. Returns the kUbx* bits of what changed (kUbxIgnored for
    // messages it does not decode).
    [[nodiscard]] unsigned ImportUbxMessage(std::uint8_t cls, std::uint8_t id, std::span<const std::uint8_t> payload);
    // The own fix's input side (port 1, UBX with the Test option): RXM-RAWX/RAW run a navigation
    // epoch (kImportNavEpoch; the MEAS, SatData and own NAV, DOP and SV records are filled), RXM-SFRBX
    // and RXM-SFRB queue GPS L1 C/A subframes; anything else is accepted with nothing done.
    // kImportRejected for a measurement message too short to hold its header.
    [[nodiscard]] int ImportUbxNavigationInput(std::uint8_t cls, std::uint8_t id,
                                               std::span<const std::uint8_t> payload);
    // Forgets a sentence the NMEA collector had begun: a binary frame cut it short.
    void AbandonSentence();

    // ---- record maintenance ----
    void ClearRecords();      // zero every record but the subframe and id-12 records
    void ClearPacketBuffer();  // zero the assembly buffer and its counter
    void SelectTimeFields();  // by the current id
    // Whole seconds from this set's time to `other`'s, unsigned (an earlier other time is huge);
    // 0xFFFFFFFF when either set has no time selected.
    [[nodiscard]] std::uint32_t SecondsBetween(const CData& other) const;
    // Copies id, assembly buffer, sequence number, the binary records (not the NMEA, subframe and
    // id-12 records), the satellite table and the receiver fix, and selects the time fields by the
    // copied id.
    void CopyFrom(const CData& other);

    // Week and time of week (0.01 s) of the selected record; 0 when none is selected.
    [[nodiscard]] std::uint16_t SelectedWeek() const;
    [[nodiscard]] std::int32_t SelectedTimeOfWeek() const;
    [[nodiscard]] TimeSelection SelectedTime() const { return m_timeSelection; }

    // ---- text rendering ----
    // Renders the current binary record as one log line (no line end); returns 0 and leaves
    // `line` empty when the id is not 1-6, 8 or its kind is disabled.
    int FormatRecordText(std::string& line, int navEnable, int dopEnable, int svEnable,
                         int measEnable) const;

    // ---- own records of import mode 2 ----
    // Fill the NAV (id 2), DOP (id 4) and SV (id 6) records from the navigation solution, in the
    // receiver's units (time of week 0.01 s, velocity 0.1 m/s, DOPs 0.1 saturated at 25.5); the SV
    // entries follow the measurement record just decoded. Each returns 1.
    int FillOwnNavRecord(const NavEngine& engine);
    int FillOwnDopRecord(const NavEngine& engine);
    int FillOwnSvRecord(const NavEngine& engine);
    // Runs `engine` on the epoch inputs it was given and fills the own records and the own fix from
    // its solution.
    void RunOwnNavigationEpoch(NavEngine& engine);

    // ---- records (read by views; written by the decoders) ----
    // Set by the NMEA import when the views are to be told after the sentence just imported: after
    // every GGA of any talker; in streams without GGA after a GNS, and in streams without GGA and
    // GNS after the second and later RMC sentences. Cleared by every other sentence.
    int ggaSeen = 0;
    std::uint32_t sequence = 0;
    std::uint8_t currentId = 0;

    GgaRecord gga{};
    GllRecord gll{};
    GsaRecord gsa{};
    std::array<GsvRecord, 3> gsv{};  // message number 1, 2, any other
    RmcRecord rmc{};
    VtgRecord vtg{};

    NavRecord nav{};
    DopRecord dop{};
    SvRecord sv{};
    MeasRecord meas{};
    SubframeRecord subframe{};
    SatDataRecord satData{};
    StatusRecord status{};
    InitCommandRecord initCommand{};

    // Every protocol's view of the receiver, kept across packets (ClearRecords leaves them): the
    // satellites of every constellation and the latest fix in full precision.
    SatelliteTable satellites{};
    ReceiverFix fix{};

    // The latest UBX messages and the decoders' carried state (u-blox receivers).
    UbxRecords ublox{};

    // Counters of this set's extractors, for --stats and the tests.
    struct Counters
    {
        std::uint64_t framesCompleted = 0;
        std::uint64_t packetsImported = 0;
        std::uint64_t rejectedLength = 0;
        std::uint64_t rejectedChecksum = 0;
        std::uint64_t framingErrors = 0;
        std::uint64_t sentencesImported = 0;
        std::uint64_t sentencesDropped = 0;
        // Sentences logged and kept in the classic records but kept out of the satellite table and
        // the fix: a checksum that does not match, or position fields that are not numbers.
        std::uint64_t checksumMismatches = 0;
        std::uint64_t malformedSentences = 0;
        // GSV satellite groups whose number no constellation has (0, above 65535, not a number).
        std::uint64_t satellitesRejected = 0;
    };
    [[nodiscard]] const Counters& GetCounters() const { return m_counters; }

private:
    // Checks and dispatches `count` content bytes at the front of `padded`, which holds at least
    // kContentLimit bytes and is zero past the content.
    int ImportContent(std::span<const std::uint8_t> padded, std::size_t count, std::string& diagnostic,
                      int byteOrder, int importMode);
    // Import mode 2 for ids 8, 10 and 12 (kept in its own file: the navigation engine's input side).
    // `message` starts at the id byte and runs to the end of the zero-filled buffer; `length` is the
    // count of id and data bytes received.
    int ImportNavigationInput(std::span<const std::uint8_t> message, std::size_t length, int byteOrder);

    // Decoders, one per layout; same arguments as ImportNavigationInput.
    void DecodeNav(std::span<const std::uint8_t> message, int byteOrder);
    void DecodeDop(std::span<const std::uint8_t> message, int byteOrder);
    void DecodeSv(std::span<const std::uint8_t> message, std::size_t length, int byteOrder);
    void DecodeStatus(std::span<const std::uint8_t> message, int byteOrder);
    void DecodeMeas(std::span<const std::uint8_t> message, std::size_t length, int byteOrder);
    void DecodeSubframe(std::span<const std::uint8_t> message, int byteOrder);
    void DecodeSatData(std::span<const std::uint8_t> message, std::size_t length, int byteOrder);

    // Appends content bytes at the 8-bit counter; once the counter wraps the overflow latch is set and
    // nothing more is stored, so the length byte is never overwritten.
    void AppendContent(const std::uint8_t* bytes, std::size_t n);
    void AppendContent(std::uint8_t byte);
    // A completed sentence: imported, or dropped when `bad` or the overflow latch says so.
    int CompleteSentence(bool bad, const std::string& diagnostic, int port);
    // The Idle state of the collector: skips to the next '$' that does not sit on a comment line;
    // returns the index of that '$', or n.
    std::size_t SkipToSentenceStart(const std::uint8_t* data, std::size_t i, std::size_t n);

    // The satellite table and the fix from one sentence (after the classic records); true when the
    // views are to be told. Kept in CDataGnss.cpp.
    bool ImportGnss(NmeaType type, std::string_view sentence, bool firstGsaOfBurst);
    // What the collector learnt of the sentence in the buffer while storing it: the places of its
    // commas and the XOR of the bytes received (the blanks it filled in are not part of it).
    [[nodiscard]] const NmeaScan* CollectedScan(std::string_view sentence) const;
    // The table and the fix from the binary records just decoded or filled.
    void UpdateFixFromNav();
    void UpdateFixFromDop();
    void UpdateTableFromSv(std::int64_t nowMs);
    // ImportUbxMessage without the fix sink. Kept in CDataUbx.cpp.
    unsigned DecodeUbxMessage(std::uint8_t cls, std::uint8_t id, std::span<const std::uint8_t> payload);

    TimeSelection m_timeSelection = TimeSelection::None;
    static constexpr std::size_t kBufferSize = 2048;
    static constexpr std::size_t kContentLimit = 256;  // what the 8-bit counter addresses
    std::array<std::uint8_t, kBufferSize> m_buffer{};
    std::size_t m_dirty = 0;  // bytes at the front of m_buffer that may be nonzero
    std::uint8_t m_counter = 0;
    bool m_overflow = false;  // latched when the 8-bit counter wrapped: the frame or sentence is dropped
    bool m_nmeaWritten = false;  // the NMEA records may hold data (ClearRecords skips zeroing them otherwise)
    int m_state = 0;
    int m_commaFlag = 0;
    bool m_gpsTalkerOnly = false;
    bool m_atLineStart = true;     // the collector stands at the start of a line
    bool m_lineIsComment = false;  // the current line started with '#'
    GnssNmeaState m_gnss{};
    NmeaScan m_scan{};
    bool m_scanValid = false;  // m_scan describes the sentence being imported
    std::string m_sentence;  // the sentence being imported (empty between imports)
    Counters m_counters{};
};
