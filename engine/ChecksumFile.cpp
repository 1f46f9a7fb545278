#include "engine/ChecksumFile.h"

#include "io/FileAccess.h"
#include "io/OutputFile.h"
#include "engine/PieceNaming.h"
#include "io/Sha256.h"

#include <cerrno>
#include <cstdio>
#include <limits>
#include <system_error>

namespace fs = std::filesystem;

namespace {

constexpr const char* kFormatLine = "# quorvel checksums 1";
constexpr const char* kFormatStart = "# quorvel checksums ";
constexpr const char* kUnknown = "unknown";
// Far more than 32760 pieces need; anything larger is not one of ours.
constexpr std::size_t kMaxFileBytes = 16 * 1024 * 1024;

// The name as sha256sum writes it: with a leading '\' on the line when
// anything in it had to be escaped.
bool EscapeName(const std::string& name, std::string& escaped) {
    escaped.clear();
    bool any = false;
    for (const char c : name) {
        switch (c) {
        case '\\':
            escaped += "\\\\";
            any = true;
            break;
        case '\n':
            escaped += "\\n";
            any = true;
            break;
        case '\r':
            escaped += "\\r";
            any = true;
            break;
        default: escaped += c;
        }
    }
    return any;
}

bool UnescapeName(const std::string& escaped, std::string& name) {
    name.clear();
    for (std::size_t i = 0; i < escaped.size(); ++i) {
        if (escaped[i] != '\\') {
            name += escaped[i];
            continue;
        }
        if (++i == escaped.size()) return false;
        switch (escaped[i]) {
        case '\\': name += '\\'; break;
        case 'n': name += '\n'; break;
        case 'r': name += '\r'; break;
        default: return false;
        }
    }
    return true;
}

// A name of a file in the checksum file's folder, never a path elsewhere.
bool IsPlainName(const std::string& name) {
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos &&
           name.find(kPathSeparator) == std::string::npos && name.find('\0') == std::string::npos;
}

bool EndsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

ChecksumRead Refuse(int32_t line, std::string reason) {
    ChecksumRead read;
    read.status = ChecksumRead::Status::Malformed;
    read.line = line;
    read.reason = std::move(reason);
    return read;
}

struct DigestLine {
    std::string hex;
    std::string name;
    int32_t line;
};

}  // namespace

std::string ChecksumFileName(const std::string& prefix, const std::string& marker) {
    return prefix + marker + kChecksumSuffix;
}

std::string ChecksumFileIn(const std::string& folder, const std::string& prefix, const std::string& marker) {
    return Paths::InFolder(folder, ChecksumFileName(FileNamePart(prefix), marker));
}

namespace {
// Whether anything at all has that name (a link to nowhere included).
bool EntryExists(const std::string& name) {
    std::error_code ec;
    return fs::exists(fs::symlink_status(Paths::Native(name), ec));
}
}  // namespace

namespace {
// Whether the checksum file at `path` lists the pieces of prefix that lie
// there: their names, and the size of each that is present.
bool ListsPiecesPresent(const std::string& path, const std::string& prefix, const std::string& marker) {
    const ChecksumRead read = ReadChecksumFile(path, marker);
    if (read.status != ChecksumRead::Status::Ok || !NamesSet(read.set, prefix)) return false;
    for (std::size_t i = 0; i < read.set.sizes.size(); ++i) {
        const int64_t size = FileSizeOf(PieceName(prefix, marker, static_cast<int32_t>(i + 1)));
        if (size >= 0 && size != read.set.sizes[i]) return false;
    }
    return true;
}
}  // namespace

ChecksumLookup LookUpChecksumFile(const std::string& prefix, const std::string& marker, const std::string& target) {
    ChecksumLookup found;
    if (prefix.empty() || !IsUsableMarker(marker)) return found;
    std::vector<std::string> places{ChecksumFileName(prefix, marker)};
    if (!target.empty()) places.push_back(ChecksumFileIn(FolderOf(target), prefix, marker));
    for (const std::string& place : places) {
        // One that is there but cannot be read is that set's checksum file
        // all the same: never passed over for another, never taken as none.
        if (FileSizeOf(place, &found.error) >= 0 || EntryExists(place)) {
            found.path = place;
            // Beside the big file, a split onto disks that found another
            // set's checksum file there wrote its own as ...sha256~2 and on.
            if (place == places.back() && places.size() > 1 && !ListsPiecesPresent(place, prefix, marker)) {
                for (int k = 2; k < kMaxChecksumFileNumber; ++k) {
                    const std::string other = place + "~" + std::to_string(k);
                    if (!EntryExists(other)) break;
                    if (ListsPiecesPresent(other, prefix, marker)) {
                        found.path = other;
                        break;
                    }
                }
            }
            return found;
        }
    }
    found.error = 0;
    return found;
}

std::string FindChecksumFile(const std::string& prefix, const std::string& marker, const std::string& target) {
    return LookUpChecksumFile(prefix, marker, target).path;
}

bool NamesSet(const ChecksumSet& set, const std::string& prefix) {
    return !set.bigFileName.empty() && set.bigFileName == FileNamePart(prefix);
}

std::string ChecksumSet::PieceFileName(int32_t n, const std::string& marker) const {
    return PieceName(bigFileName, marker, n);
}

std::string FormatChecksumFile(const ChecksumSet& set, const std::string& marker) {
    std::string text = std::string(kFormatLine) + "\n";
    text += std::string("# state ") + (set.finished ? "finished" : "unfinished") + "\n";
    text += "# pieces " + (set.count >= 0 ? std::to_string(set.count) : kUnknown) + "\n";
    text += "# total " + (set.total >= 0 ? std::to_string(set.total) : kUnknown) + "\n";
    for (std::size_t n = 1; n <= set.sizes.size() && set.sizes[n - 1] >= 0; ++n) {
        text += "# size " + std::to_string(n) + " " + std::to_string(set.sizes[n - 1]) + "\n";
    }
    const bool recovery = set.finished && !set.recoveryNames.empty();
    if (recovery) text += "# recovery " + std::to_string(set.recoveryNames.size()) + "\n";
    std::string escaped;
    auto line = [&](const std::string& hex, const std::string& name) {
        const bool special = EscapeName(name, escaped);
        text += (special ? "\\" : "") + hex + "  " + escaped + "\n";
    };
    for (std::size_t n = 1; n <= set.digests.size(); ++n) {
        line(set.digests[n - 1], set.PieceFileName(static_cast<int32_t>(n), marker));
    }
    if (set.finished) line(set.wholeDigest, set.bigFileName);
    for (std::size_t i = 0; recovery && i < set.recoveryNames.size(); ++i) {
        line(set.recoveryDigests[i], set.recoveryNames[i]);
    }
    return text;
}

namespace {

// A checksum file's lines as they are read: the '#' lines with the set's
// count, total and sizes, then the digest lines; then the whole is checked.
// Each step returns false once the file is refused (`failure` says why).
struct ChecksumParser {
    explicit ChecksumParser(const std::string& marker) : marker(marker) {}

    bool Fail(int32_t line, std::string reason) {
        failure = Refuse(line, std::move(reason));
        return false;
    }
    bool FirstLine(const std::string& line) {
        if (line == kFormatLine) return true;
        if (line.rfind(kFormatStart, 0) == 0) return Fail(1, "written in a format this version does not know");
        return Fail(1, "not a checksum file of this program");
    }
    bool Line(const std::string& line, int32_t n);
    bool Value(const std::string& key, const std::string& value, int32_t n);
    bool SizeLine(const std::string& value, int32_t n);
    bool DigestLineOf(const std::string& line, int32_t n);
    bool Finished();
    bool Unfinished();
    bool Whole();

    const std::string& marker;
    ChecksumSet set;
    bool haveState = false, haveCount = false, haveTotal = false, haveRecovery = false;
    int64_t recoveryCount = 0;
    std::vector<DigestLine> digests;
    std::size_t pieceLines = 0;
    ChecksumRead failure;
};

bool ChecksumParser::Line(const std::string& line, int32_t n) {
    if (line.empty()) return Fail(n, "empty line");
    if (line[0] != '#') return DigestLineOf(line, n);
    // "# key value [value]"; other comments are notes.
    const std::size_t keyEnd = line.find(' ', 2);
    const std::string key = line.size() > 2 && line[1] == ' ' ? line.substr(2, keyEnd - 2) : std::string();
    const std::string value = keyEnd == std::string::npos ? std::string() : line.substr(keyEnd + 1);
    if (key != "state" && key != "pieces" && key != "total" && key != "size" && key != "recovery") return true;
    if (!digests.empty()) return Fail(n, "\"" + key + "\" after the checksums");
    return Value(key, value, n);
}

bool ChecksumParser::Value(const std::string& key, const std::string& value, int32_t n) {
    int64_t number = 0;
    if (key == "state") {
        if (haveState) return Fail(n, "a second state");
        if (value != "finished" && value != "unfinished") return Fail(n, "unknown state");
        set.finished = value == "finished";
        return haveState = true;
    }
    if (key == "pieces") {
        if (haveCount) return Fail(n, "a second piece count");
        if (value != kUnknown) {
            if (!ParseDecimal(value, std::numeric_limits<int32_t>::max() - 1, number)) {
                return Fail(n, "the piece count is not a number");
            }
            set.count = static_cast<int32_t>(number);
        }
        return haveCount = true;
    }
    if (key == "recovery") {
        if (haveRecovery) return Fail(n, "a second recovery file count");
        if (!ParseDecimal(value, 100000, recoveryCount)) return Fail(n, "the recovery file count is not a number");
        return haveRecovery = true;
    }
    if (key == "total") {
        if (haveTotal) return Fail(n, "a second total");
        if (value != kUnknown) {
            if (!ParseDecimal(value, std::numeric_limits<int64_t>::max(), number)) {
                return Fail(n, "the total is not a number");
            }
            set.total = number;
        }
        return haveTotal = true;
    }
    return SizeLine(value, n);
}

bool ChecksumParser::SizeLine(const std::string& value, int32_t n) {
    const std::size_t gap = value.find(' ');
    int64_t piece = 0, size = 0;
    if (gap == std::string::npos || !ParseDecimal(value.substr(0, gap), std::numeric_limits<int32_t>::max(), piece) ||
        !ParseDecimal(value.substr(gap + 1), std::numeric_limits<int64_t>::max(), size)) {
        return Fail(n, "a size line is not \"# size PIECE BYTES\"");
    }
    if (piece != static_cast<int64_t>(set.sizes.size()) + 1) return Fail(n, "piece sizes out of order");
    set.sizes.push_back(size);
    return true;
}

// "<64 hex>  name" or "<64 hex> *name", after a '\' when the name is escaped.
bool ChecksumParser::DigestLineOf(const std::string& line, int32_t n) {
    const bool escaped = line[0] == '\\';
    const std::string body = escaped ? line.substr(1) : line;
    if (body.size() < kSha256HexDigits + 3 || !IsSha256Hex(body.substr(0, kSha256HexDigits)) ||
        body[kSha256HexDigits] != ' ' || (body[kSha256HexDigits + 1] != ' ' && body[kSha256HexDigits + 1] != '*')) {
        return Fail(n, "not a checksum line");
    }
    DigestLine digest{body.substr(0, kSha256HexDigits), {}, n};
    for (char& c : digest.hex) c = static_cast<char>(c >= 'A' && c <= 'F' ? c - 'A' + 'a' : c);
    const std::string name = body.substr(kSha256HexDigits + 2);
    if (!escaped)
        digest.name = name;
    else if (!UnescapeName(name, digest.name))
        return Fail(n, "a badly escaped name");
    if (!IsPlainName(digest.name)) return Fail(n, "not the name of a file beside it");
    digests.push_back(std::move(digest));
    return true;
}

bool ChecksumParser::Finished() {
    if (set.count < 0 || set.total < 0) return Fail(0, "finished, but the count or total is unknown");
    if (set.count == 0) return Fail(0, "finished without a single piece");
    if (set.sizes.size() != static_cast<std::size_t>(set.count)) return Fail(0, "not every piece has a size");
    if (digests.size() != static_cast<std::size_t>(set.count) + 1 + static_cast<std::size_t>(recoveryCount)) {
        return Fail(0, "not one checksum for every piece, the whole file and each recovery file");
    }
    pieceLines = static_cast<std::size_t>(set.count);
    set.bigFileName = digests[pieceLines].name;
    set.wholeDigest = digests[pieceLines].hex;
    for (std::size_t i = pieceLines + 1; i < digests.size(); ++i) {
        // Recovery files are named after the big file: <big>.par2, <big>.vol*.par2,
        // or <big>~2.par2 and on beside another set's.
        const std::string& name = digests[i].name;
        const bool named = name.compare(0, set.bigFileName.size() + 1, set.bigFileName + ".") == 0 ||
                           name.compare(0, set.bigFileName.size() + 1, set.bigFileName + "~") == 0;
        if (!named || !EndsWith(name, ".par2")) {
            return Fail(digests[i].line, "not the name of a recovery file of this set");
        }
        set.recoveryNames.push_back(name);
        set.recoveryDigests.push_back(digests[i].hex);
    }
    return true;
}

bool ChecksumParser::Unfinished() {
    if (haveRecovery) return Fail(0, "recovery files in an unfinished set");
    if (set.count >= 0 && (set.sizes.size() > static_cast<std::size_t>(set.count) ||
                           digests.size() > static_cast<std::size_t>(set.count))) {
        return Fail(0, "more pieces than the count");
    }
    pieceLines = digests.size();
    const std::string first = std::string(marker) + "1";
    if (!digests.empty()) {
        if (!EndsWith(digests.front().name, first) || digests.front().name.size() == first.size()) {
            return Fail(digests.front().line, "the first checksum is not for piece 1");
        }
        set.bigFileName = digests.front().name.substr(0, digests.front().name.size() - first.size());
    }
    return true;
}

bool ChecksumParser::Whole() {
    if (!haveState || !haveCount || !haveTotal) return Fail(0, "the state, piece count or total is missing");
    if (!(set.finished ? Finished() : Unfinished())) return false;
    // Every size known (a finished set, or a planned one): they make up the whole file.
    if (set.total >= 0 && set.sizes.size() == static_cast<std::size_t>(set.count)) {
        int64_t sum = 0;
        for (const int64_t size : set.sizes) {
            if (size > std::numeric_limits<int64_t>::max() - sum) return Fail(0, "the sizes overflow");
            sum += size;
        }
        if (sum != set.total) return Fail(0, "the sizes do not add up to the total");
    }
    for (std::size_t n = 1; n <= pieceLines; ++n) {
        if (digests[n - 1].name != set.PieceFileName(static_cast<int32_t>(n), marker)) {
            return Fail(digests[n - 1].line, "expected the checksum of piece " + std::to_string(n));
        }
        set.digests.push_back(digests[n - 1].hex);
    }
    return true;
}

}  // namespace

ChecksumRead ParseChecksumFile(const std::string& text, const std::string& marker) {
    if (!IsUsableMarker(marker)) return Refuse(0, "the marker cannot be part of a file name");
    if (text.size() > kMaxFileBytes) return Refuse(0, "too large for a checksum file");
    if (text.empty() || text.back() != '\n') return Refuse(0, "empty, or the last line is cut off");

    ChecksumParser parser(marker);
    int32_t lineNumber = 0;
    for (std::size_t start = 0; start < text.size();) {
        const std::size_t end = text.find('\n', start);
        std::string line = text.substr(start, end - start);
        start = end + 1;
        ++lineNumber;
        if (!line.empty() && line.back() == '\r') line.pop_back();  // passed through a Windows editor
        const bool ok = lineNumber == 1 ? parser.FirstLine(line) : parser.Line(line, lineNumber);
        if (!ok) return parser.failure;
    }
    if (!parser.Whole()) return parser.failure;

    ChecksumRead read;
    read.status = parser.set.finished ? ChecksumRead::Status::Ok : ChecksumRead::Status::Unfinished;
    read.set = std::move(parser.set);
    return read;
}

ChecksumRead ReadChecksumFile(const std::string& path, const std::string& marker) {
    ChecksumRead read;
    // Measured first: a FIFO would block the open.
    if (FileSizeOf(path, &read.error) < 0) {
        if (!EntryExists(path)) read.status = ChecksumRead::Status::Absent;
        return read;
    }
    std::FILE* file = OpenFile(path, "rb");
    if (file == nullptr) {
        read.error = errno;
        return read;
    }
    std::string text;
    char buffer[65536];
    std::size_t got = 0;
    errno = 0;
    while (text.size() <= kMaxFileBytes && (got = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
        text.append(buffer, got);
    }
    const int error = errno;
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (failed) {
        read.error = error;
        return read;
    }
    return ParseChecksumFile(text, marker);
}

bool ChecksumWriter::Begin(const std::string& path, const std::string& bigFileName, const std::string& marker,
                           int64_t total, const std::vector<int64_t>& plannedSizes, bool countKnown) {
    path_ = path;
    marker_ = marker;
    set_ = ChecksumSet();
    set_.bigFileName = bigFileName;
    set_.total = total;
    set_.sizes = plannedSizes;
    if (countKnown) set_.count = static_cast<int32_t>(plannedSizes.size());
    return Write();
}

bool ChecksumWriter::RecordPiece(int32_t n, int64_t size, const std::string& digest) {
    if (n != static_cast<int32_t>(set_.digests.size()) + 1 || size < 0 || !IsSha256Hex(digest)) {
        error_ = EINVAL;
        return false;
    }
    set_.digests.push_back(digest);
    if (set_.count >= 0 && n > set_.count) set_.count = -1;
    if (set_.sizes.size() < static_cast<std::size_t>(n)) set_.sizes.resize(static_cast<std::size_t>(n), -1);
    set_.sizes[static_cast<std::size_t>(n) - 1] = size;
    dirty_ = true;
    if (std::chrono::steady_clock::now() - lastWrite_ < interval) return true;
    return Write();
}

bool ChecksumWriter::Flush() { return !dirty_ || Write(); }

void ChecksumWriter::ListRecovery(std::vector<std::string> names, std::vector<std::string> digests) {
    set_.recoveryNames = std::move(names);
    set_.recoveryDigests = std::move(digests);
}

bool ChecksumWriter::Finish(const std::string& wholeDigest) {
    if (!IsSha256Hex(wholeDigest)) {
        error_ = EINVAL;
        return false;
    }
    set_.finished = true;
    set_.count = static_cast<int32_t>(set_.digests.size());
    set_.sizes.resize(set_.digests.size());
    set_.total = 0;
    for (const int64_t size : set_.sizes) set_.total += size;
    set_.wholeDigest = wholeDigest;
    return Write();
}

void ChecksumWriter::Remove() {
    std::error_code ec;
    if (!path_.empty()) fs::remove(Paths::Native(path_), ec);
}

bool ChecksumWriter::Rewrite(const std::string& path, const std::string& marker, const ChecksumSet& set) {
    path_ = path;
    marker_ = marker;
    set_ = set;
    return Write();
}

bool ChecksumWriter::Write() {
    const std::string text = FormatChecksumFile(set_, marker_);
    // Created exclusively (a link planted under any name is never written
    // through), on the disk before it takes the name, and replacing the
    // previous version in one step.
    OutputFile file;
    bool ok = file.Open(path_, true) && std::fwrite(text.data(), 1, text.size(), file.get()) == text.size() &&
              file.Sync() && file.Commit(true);
    if (!ok) {
        error_ = file.Error() != 0 ? file.Error() : errno;
        return false;
    }
    dirty_ = false;
    lastWrite_ = std::chrono::steady_clock::now();
    return true;
}
