// Compressing file contents: whole files in parallel on worker threads
// (libdeflate, one compressor per thread, bounded bytes in flight), and a
// streaming deflater for files too large to hold in memory.
#pragma once

#include <zlib.h>

#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

namespace brixzip {

enum class Eol { None, CrLfToLf, LfToCrLf };

// Line-end conversion that can be fed in pieces (a CR at the end of one piece
// is decided by the start of the next).
class EolConverter {
public:
    explicit EolConverter(Eol mode) : mode_(mode) {}
    void feed(const unsigned char* p, std::size_t n, std::vector<unsigned char>& out);
    void finish(std::vector<unsigned char>& out);

private:
    Eol mode_;
    bool pendingCr_ = false;  // CR-LF to LF: a CR held back
    bool lastCr_ = false;     // LF to CR-LF: the previous byte was a CR
};

// A file is text when its first block holds no NUL byte.
bool looksLikeText(const std::string& path);

// A malloc'ed byte buffer (grown and trimmed with realloc, never zero-filled).
struct Buffer {
    unsigned char* p = nullptr;
    std::size_t n = 0;
    Buffer() = default;
    Buffer(const Buffer&) = delete;
    Buffer& operator=(const Buffer&) = delete;
    Buffer(Buffer&& o) noexcept : p(o.p), n(o.n) { o.p = nullptr; o.n = 0; }
    Buffer& operator=(Buffer&& o) noexcept;
    ~Buffer();
    void reset();
    // Frees what it holds and takes `bytes` (malloc'ed) instead.
    void adopt(unsigned char* bytes, std::size_t size);
};

struct Job {
    std::string path;
    std::uint64_t size = 0;  // size seen when the names were scanned
    Eol eol = Eol::None;

    enum class State { Pending, Running, Done } state = State::Pending;
    std::size_t seq = 0;  // place in the writer's order
    // Results, valid once Done.
    bool stored = false;
    Buffer data;  // deflate stream, or the raw bytes when stored
    std::size_t held = 0;  // bytes counted against the budget
    std::uint64_t rawSize = 0;
    std::uint32_t crc = 0;
    int error = 0;  // errno of a failed read
    bool dropped = false;
};

// The deflated contents of the jobs in flight (done, not yet written), found
// by the content's size and CRC, so that identical files near each other in
// the archive are deflated once: a tree's copies of a library, a header or
// a licence. A stream taken from here stands for new content only once it
// has been inflated and compared with it byte for byte.
class DeflatedCache {
public:
    // A copy of the stream of a content of this size and CRC, when a job in
    // flight holds one; when another thread is deflating such a content,
    // waits for it. When there is neither, the caller is to deflate its
    // content and settle() the key: `mine` is set, and false returned.
    bool claim(std::uint64_t size, std::uint32_t crc, bool& mine, Buffer& stream);
    // Ends a claim: `holder` is the job whose data is the deflated content,
    // or none (it was stored, or failed). Never throws.
    void settle(std::uint64_t size, std::uint32_t crc, const Job* holder) noexcept;
    // A job that took a copy holds the key's stream from now on, as it
    // stays in flight longer than the job it copied.
    void pass(const Job& to) noexcept;
    // Before a job's data goes: the job no longer holds the key's stream.
    void forget(const Job& job) noexcept;

private:
    struct Key {
        std::uint64_t size;
        std::uint32_t crc;
        bool operator==(const Key&) const = default;
    };
    struct KeyHash {
        std::size_t operator()(const Key& k) const { return std::hash<std::uint64_t>()(k.size * 0x9E3779B97F4A7C15ull ^ k.crc); }
    };
    std::mutex m_;
    std::condition_variable settled_;
    std::unordered_map<Key, const Job*, KeyHash> holders_;  // null: being deflated
};

// What one compressing thread keeps between jobs.
struct Workspace {
    void* compressor = nullptr;    // libdeflate's, at the run's level
    void* decompressor = nullptr;  // for comparing with a stream found in the cache
    std::unique_ptr<unsigned char[]> check;  // the stream found in the cache, inflated
    std::size_t checkSize = 0;
    Workspace() = default;
    Workspace(const Workspace&) = delete;
    Workspace& operator=(const Workspace&) = delete;
    ~Workspace();
};

// Owns the worker threads: its destructor stops and joins them, so a run that
// ends by an exception leaves no thread behind.
class Packer {
public:
    Packer(int level, std::size_t budget);
    ~Packer();
    Packer(const Packer&) = delete;
    Packer& operator=(const Packer&) = delete;

    // Starts the workers; jobs are added in the order the writer will ask
    // for them (they may be added while the workers run), and close() says
    // there will be no more.
    void start(unsigned threads);
    void add(Job& job);
    void close();
    // A job the writer will not ask for after all: its bytes stop counting
    // against the budget, and it is not begun if it has not been.
    void drop(Job& job);
    // Blocks until the job is done; compresses it on the calling thread when
    // no worker has taken it yet. A writer that has caught up with the
    // workers sleeps until they are well ahead again (or have stopped), so
    // it is woken once per stretch of files rather than once per file.
    Job& wait(Job& job);
    // The writer is through with the job's bytes.
    void release(Job& job);
    void stop();

private:
    void worker();
    void run(Job& job, Workspace& ws);
    void runGuarded(Job& job, Workspace& ws) noexcept;
    bool deflatedBefore(const Buffer& in, Job& job, Workspace& ws, bool& mine);
    void freeData(Job& job);
    static std::size_t reserve(const Job& job);
    bool writerMayGo(const Job& job) const;
    void wakeWriter();

    int level_;
    std::size_t budget_;
    std::vector<Job*> jobs_;
    std::size_t next_ = 0;
    std::size_t inFlight_ = 0;
    bool stopping_ = false, closed_ = false;
    std::mutex m_;
    std::size_t running_ = 0;  // jobs the workers are compressing
    const Job* awaited_ = nullptr;
    std::condition_variable cv_, writerCv_;
    std::vector<std::thread> threads_;
    Workspace main_;  // the calling thread's, for jobs no worker took
    DeflatedCache seen_;
};

// Reads a file through a raw deflate stream, with the CRC and size of what
// was read (after line-end conversion).
class StreamDeflater {
public:
    StreamDeflater(const std::string& path, int level, Eol eol);
    ~StreamDeflater();
    bool open();              // false: errno holds the reason
    // Fills up to n bytes of deflate output; -1 on a read error (errno set).
    long long read(unsigned char* out, std::size_t n);
    bool finished() const { return finished_; }
    std::uint64_t rawSize() const { return rawSize_; }
    std::uint64_t compSize() const { return compSize_; }
    std::uint32_t crc() const { return crc_; }
    int error() const { return error_; }

private:
    bool fill();

    std::string path_;
    int level_;
    EolConverter conv_;
    Eol eol_;
    int fd_ = -1;
    z_stream zs_{};
    bool zInit_ = false;
    bool eof_ = false, finished_ = false;
    std::vector<unsigned char> in_, conv_buf_;
    std::uint64_t rawSize_ = 0, compSize_ = 0;
    std::uint32_t crc_ = 0;
    int error_ = 0;
};

}  // namespace brixzip
