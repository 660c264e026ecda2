#include "archive/block_deflate.h"

#include <algorithm>
#include <cstring>
#include <system_error>
#include <thread>

namespace tav {

TBlockDeflate::TBlockDeflate(int level, unsigned parallel)
    : level_(level), parallel_(std::clamp(parallel, 1u, 8u)), blocks_(parallel_ + 1), round_(kWindow + parallel_ * kBlock) {
  for (TBlock& b : blocks_) b.open = deflateInit2(&b.z, level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) == Z_OK;
}

TBlockDeflate::~TBlockDeflate() {
  for (TBlock& b : blocks_)
    if (b.open) deflateEnd(&b.z);
}

std::vector<unsigned char> TBlockDeflate::Start() {
  carried_ = 0;
  used_ = 0;
  adler_ = adler32(0L, Z_NULL, 0);
  // The header zlib itself writes for a 32 KB window at this level.
  const int level = level_ == Z_DEFAULT_COMPRESSION ? 6 : level_;
  unsigned header = (Z_DEFLATED + ((15 - 8) << 4)) << 8;
  header |= static_cast<unsigned>(level < 2 ? 0 : level < 6 ? 1 : level == 6 ? 2 : 3) << 6;
  header += 31 - header % 31;
  return {static_cast<unsigned char>(header >> 8), static_cast<unsigned char>(header & 0xFF)};
}

void TBlockDeflate::Run(TBlock& b) {
  b.ok = false;
  if (!b.open || deflateReset(&b.z) != Z_OK) return;
  if (b.dictionary > 0 && deflateSetDictionary(&b.z, b.in - b.dictionary, static_cast<uInt>(b.dictionary)) != Z_OK)
    return;
  b.z.next_in = const_cast<Bytef*>(b.in);
  b.z.avail_in = static_cast<uInt>(b.length);
  b.out.resize(deflateBound(&b.z, static_cast<uLong>(b.length)) + 64);
  const int flush = b.last ? Z_FINISH : Z_SYNC_FLUSH;
  std::size_t have = 0;
  for (;;) {
    b.z.next_out = b.out.data() + have;
    b.z.avail_out = static_cast<uInt>(b.out.size() - have);
    const int r = deflate(&b.z, flush);
    have = b.out.size() - b.z.avail_out;
    if (r == Z_STREAM_ERROR) break;
    // A sync flush is complete once zlib stops short of the end of the output.
    if (b.last ? r == Z_STREAM_END : b.z.avail_in == 0 && b.z.avail_out > 0) {
      b.ok = true;
      break;
    }
    b.out.resize(b.out.size() * 2);
  }
  b.out.resize(have);
  b.adler = adler32(adler32(0L, Z_NULL, 0), b.in, static_cast<uInt>(b.length));
}

bool TBlockDeflate::Deflate(std::size_t n, bool last) {
  n = std::min(n, Capacity());
  used_ = (n + kBlock - 1) / kBlock;
  // Input that ends on a block's boundary is followed by an empty final block, so that where the stream
  // ends never depends on how the input was divided into rounds.
  if (last && n % kBlock == 0) ++used_;
  for (std::size_t k = 0; k < used_; ++k) {
    TBlock& b = blocks_[k];
    b.in = Input() + k * kBlock;
    b.length = std::min(kBlock, n - std::min(n, k * kBlock));
    b.dictionary = k == 0 ? carried_ : kWindow;
    b.last = last && k + 1 == used_;
  }
  std::vector<std::thread> helpers;
  for (std::size_t k = 1; k < used_; ++k) {
    try {
      helpers.emplace_back(Run, std::ref(blocks_[k]));
    } catch (const std::system_error&) {
      Run(blocks_[k]);  // no thread to be had: the block is deflated here
    }
  }
  if (used_ > 0) Run(blocks_[0]);
  for (std::thread& t : helpers) t.join();
  bool ok = true;
  for (std::size_t k = 0; k < used_; ++k) {
    ok = ok && blocks_[k].ok;
    adler_ = adler32_combine(adler_, blocks_[k].adler, static_cast<z_off_t>(blocks_[k].length));
  }
  // The next round's first block is primed with the stream's last 32 KB.
  const std::size_t keep = std::min(kWindow, carried_ + n);
  std::memmove(Input() - keep, Input() + n - keep, keep);
  carried_ = keep;
  return ok;
}

std::vector<unsigned char> TBlockDeflate::Trailer() const {
  return {static_cast<unsigned char>(adler_ >> 24), static_cast<unsigned char>(adler_ >> 16),
          static_cast<unsigned char>(adler_ >> 8), static_cast<unsigned char>(adler_)};
}

}  // namespace tav
