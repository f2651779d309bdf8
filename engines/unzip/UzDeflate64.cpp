#include "UzDeflate64.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

namespace uz {

namespace {

constexpr int kMaxBits = 15;
constexpr int kFastBits = 10;  // codes up to this length decode with one table look-up
constexpr int kMaxLitLen = 286;
constexpr int kMaxDist = 32;   // deflate has 30; Deflate64 uses 30 and 31 as well
constexpr std::size_t kRing = std::size_t{1} << 18;  // at least the 64 KiB window

// Deflate64's tables: deflate's, with length code 285 meaning 3 + 16 extra
// bits instead of 258, and two more distance codes for the larger window.
constexpr std::uint16_t kLenBase[29] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                        31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 3};
constexpr std::uint8_t kLenExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 16};
constexpr std::uint16_t kDistBase[32] = {1,    2,    3,    4,    5,    7,     9,     13,    17,    25,   33,
                                         49,   65,   97,   129,  193,  257,   385,   513,   769,   1025, 1537,
                                         2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577, 32769, 49153};
constexpr std::uint8_t kDistExtra[32] = {0, 0, 0, 0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6, 6,
                                         7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13, 14, 14};
// The order in which code-length code lengths are stored.
constexpr std::uint8_t kClOrder[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};

struct Failure {
    Inflate64Status status;
};

// A canonical Huffman code: a direct table for short codes, and the counts
// and sorted symbols for walking longer ones bit by bit.
struct Huffman {
    std::uint16_t count[kMaxBits + 1];
    std::uint16_t symbol[288];
    std::uint16_t fast[1u << kFastBits];  // symbol << 4 | length; 0: longer code (or none)

    // False when the lengths over-subscribe the code. Incomplete codes are
    // accepted; an unused code met in the data is an error then.
    bool build(const std::uint8_t* lengths, int n) {
        std::memset(count, 0, sizeof count);
        for (int s = 0; s < n; ++s) ++count[lengths[s]];
        int left = 1;
        for (int len = 1; len <= kMaxBits; ++len) {
            left = (left << 1) - count[len];
            if (left < 0) return false;
        }
        std::uint16_t offs[kMaxBits + 2];
        offs[1] = 0;
        for (int len = 1; len <= kMaxBits; ++len) offs[len + 1] = static_cast<std::uint16_t>(offs[len] + count[len]);
        for (int s = 0; s < n; ++s)
            if (lengths[s]) symbol[offs[lengths[s]]++] = static_cast<std::uint16_t>(s);
        std::memset(fast, 0, sizeof fast);
        // Canonical codes in order, reversed into the stream's bit order.
        unsigned code = 0;
        int index = 0;
        for (int len = 1; len <= kMaxBits; ++len) {
            for (int k = 0; k < count[len]; ++k, ++code, ++index) {
                if (len > kFastBits) continue;
                unsigned rev = 0;
                for (int b = 0; b < len; ++b) rev |= ((code >> b) & 1u) << (len - 1 - b);
                const std::uint16_t entry = static_cast<std::uint16_t>(symbol[index] << 4 | len);
                for (unsigned fill = rev; fill < (1u << kFastBits); fill += 1u << len) fast[fill] = entry;
            }
            code <<= 1;
        }
        return true;
    }
};

class Decoder {
public:
    Decoder(const Inflate64Read& read, const Inflate64Write& write) : read_(read), write_(write), ring_(kRing) {}

    Inflate64Status run() {
        try {
            bool last = false;
            do {
                last = bits(1) != 0;
                switch (bits(2)) {
                case 0: stored(); break;
                case 1: fixedBlock(); break;
                case 2: dynamicBlock(); break;
                default: throw Failure{Inflate64Status::BadData};
                }
            } while (!last);
            flush();
            return Inflate64Status::Ok;
        } catch (const Failure& f) {
            return f.status;
        }
    }

private:
    // ---- input ----
    void refill() {
        inPos_ = 0;
        inLen_ = 0;
        if (ended_) return;
        long n = read_(in_, sizeof in_);
        if (n < 0) throw Failure{Inflate64Status::ReadFailed};
        if (n == 0) ended_ = true;
        inLen_ = static_cast<std::size_t>(n);
    }
    void need(int n) {
        while (bitCount_ < n) {
            if (inPos_ == inLen_) refill();
            std::uint64_t byte = 0;
            if (inPos_ < inLen_) {
                byte = in_[inPos_++];
            } else {
                // Zeros past the end let a final short code be looked up;
                // taking them is caught in take().
                ++padded_;
            }
            bitBuf_ |= byte << bitCount_;
            bitCount_ += 8;
        }
    }
    // Taking bits past the input's end means the stream was cut short.
    void take(int n) {
        if (padded_ && n > bitCount_ - padded_ * 8) throw Failure{Inflate64Status::Truncated};
    }
    unsigned bits(int n) {
        if (n == 0) return 0;
        need(n);
        take(n);
        unsigned v = static_cast<unsigned>(bitBuf_ & ((std::uint64_t{1} << n) - 1));
        bitBuf_ >>= n;
        bitCount_ -= n;
        return v;
    }

    int decode(const Huffman& h) {
        need(kFastBits);
        const std::uint16_t e = h.fast[bitBuf_ & ((1u << kFastBits) - 1)];
        if (e) {
            const int len = e & 15;
            take(len);
            bitBuf_ >>= len;
            bitCount_ -= len;
            return e >> 4;
        }
        // Longer codes: walk the canonical code one bit at a time.
        int code = 0, first = 0, index = 0;
        for (int len = 1; len <= kMaxBits; ++len) {
            code |= static_cast<int>(bits(1));
            const int count = h.count[len];
            if (code - count < first) return h.symbol[index + (code - first)];
            index += count;
            first += count;
            first <<= 1;
            code <<= 1;
        }
        throw Failure{Inflate64Status::BadData};  // a code the table does not have
    }

    // ---- output ----
    void put(unsigned char c) {
        ring_[pos_ & (kRing - 1)] = c;
        ++pos_;
        if ((pos_ & (kRing - 1)) == 0) flush();
    }
    void flush() {
        const std::size_t start = flushed_ & (kRing - 1);
        const std::size_t n = static_cast<std::size_t>(pos_ - flushed_);
        if (n && !write_(ring_.data() + start, n)) throw Failure{Inflate64Status::WriteStopped};
        flushed_ = pos_;
    }
    void copy(std::size_t dist, std::size_t len) {
        if (dist > pos_) throw Failure{Inflate64Status::BadData};  // reaches before the start
        while (len > 0) {
            const std::size_t at = pos_ & (kRing - 1);
            const std::size_t from = (pos_ - dist) & (kRing - 1);
            std::size_t n = std::min({len, kRing - at, kRing - from});
            if (dist >= n) {
                std::memcpy(&ring_[at], &ring_[from], n);
            } else {
                for (std::size_t k = 0; k < n; ++k) ring_[at + k] = ring_[from + k];  // overlapping run
            }
            pos_ += n;
            len -= n;
            if ((pos_ & (kRing - 1)) == 0) flush();
        }
    }

    // ---- blocks ----
    void stored() {
        bits(bitCount_ % 8);  // to the byte boundary
        const unsigned len = bits(16);
        const unsigned nlen = bits(16);
        if ((len ^ 0xFFFFu) != nlen) throw Failure{Inflate64Status::BadData};
        for (unsigned k = 0; k < len; ++k) put(static_cast<unsigned char>(bits(8)));
    }

    void codes(const Huffman& lit, const Huffman& dist) {
        for (;;) {
            int sym = decode(lit);
            if (sym < 256) {
                put(static_cast<unsigned char>(sym));
            } else if (sym == 256) {
                return;
            } else {
                sym -= 257;
                if (sym >= 29) throw Failure{Inflate64Status::BadData};
                const std::size_t len = kLenBase[sym] + bits(kLenExtra[sym]);
                const int d = decode(dist);
                if (d >= kMaxDist) throw Failure{Inflate64Status::BadData};
                const std::size_t distance = kDistBase[d] + bits(kDistExtra[d]);
                copy(distance, len);
            }
        }
    }

    void fixedBlock() {
        static const struct Fixed {
            Huffman lit, dist;
            Fixed() {
                std::uint8_t l[288];
                int s = 0;
                for (; s < 144; ++s) l[s] = 8;
                for (; s < 256; ++s) l[s] = 9;
                for (; s < 280; ++s) l[s] = 7;
                for (; s < 288; ++s) l[s] = 8;
                lit.build(l, 288);
                std::uint8_t d[32];
                std::memset(d, 5, sizeof d);
                dist.build(d, 32);
            }
        } fixed;
        codes(fixed.lit, fixed.dist);
    }

    void dynamicBlock() {
        const int nlen = static_cast<int>(bits(5)) + 257;
        const int ndist = static_cast<int>(bits(5)) + 1;
        const int ncode = static_cast<int>(bits(4)) + 4;
        if (nlen > kMaxLitLen || ndist > kMaxDist) throw Failure{Inflate64Status::BadData};
        std::uint8_t lengths[kMaxLitLen + kMaxDist] = {0};
        for (int k = 0; k < ncode; ++k) lengths[kClOrder[k]] = static_cast<std::uint8_t>(bits(3));
        if (!lencode_.build(lengths, 19)) throw Failure{Inflate64Status::BadData};
        int index = 0;
        while (index < nlen + ndist) {
            int sym = decode(lencode_);
            if (sym < 16) {
                lengths[index++] = static_cast<std::uint8_t>(sym);
                continue;
            }
            std::uint8_t value = 0;
            int repeat;
            if (sym == 16) {
                if (index == 0) throw Failure{Inflate64Status::BadData};
                value = lengths[index - 1];
                repeat = 3 + static_cast<int>(bits(2));
            } else if (sym == 17) {
                repeat = 3 + static_cast<int>(bits(3));
            } else {
                repeat = 11 + static_cast<int>(bits(7));
            }
            if (index + repeat > nlen + ndist) throw Failure{Inflate64Status::BadData};
            while (repeat--) lengths[index++] = value;
        }
        if (lengths[256] == 0) throw Failure{Inflate64Status::BadData};  // no end-of-block code
        if (!lit_.build(lengths, nlen) || !dist_.build(lengths + nlen, ndist)) throw Failure{Inflate64Status::BadData};
        codes(lit_, dist_);
    }

    const Inflate64Read& read_;
    const Inflate64Write& write_;
    unsigned char in_[64 * 1024];
    std::size_t inPos_ = 0, inLen_ = 0;
    bool ended_ = false;
    int padded_ = 0;
    std::uint64_t bitBuf_ = 0;
    int bitCount_ = 0;
    std::vector<unsigned char> ring_;
    std::uint64_t pos_ = 0, flushed_ = 0;
    Huffman lencode_, lit_, dist_;
};

}  // namespace

Inflate64Status inflate64(const Inflate64Read& read, const Inflate64Write& write) {
    auto d = std::make_unique<Decoder>(read, write);
    return d->run();
}

}  // namespace uz
