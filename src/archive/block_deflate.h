#pragma once
// Deflates a large stream in blocks, several at once. Each block is a raw deflate stream primed with the
// 32 KB of input before it and ended on a byte boundary (a sync flush), the last one with the final
// block, so that the blocks joined behind a zlib header and followed by the Adler-32 of the whole input
// are one ordinary zlib stream. The output depends only on the input and the level, never on how many
// blocks ran at once, so a build gives the same archive on every machine.
#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tav {

class TBlockDeflate {
public:
  static constexpr std::size_t kBlock = 256 * 1024;
  static constexpr std::size_t kWindow = 32 * 1024;

  // level: a zlib level (1-9 or Z_DEFAULT_COMPRESSION); at most `parallel` blocks are deflated at once.
  TBlockDeflate(int level, unsigned parallel);
  ~TBlockDeflate();
  TBlockDeflate(const TBlockDeflate&) = delete;
  TBlockDeflate& operator=(const TBlockDeflate&) = delete;

  int Level() const { return level_; }
  // Starts a new stream; returns its two header bytes.
  std::vector<unsigned char> Start();
  // Room for the next round's input: up to Capacity() bytes at Input().
  unsigned char* Input() { return round_.data() + kWindow; }
  std::size_t Capacity() const { return parallel_ * kBlock; }
  // Deflates the n bytes placed at Input(); last marks the stream's end (n may then be 0).
  // False when zlib failed.
  bool Deflate(std::size_t n, bool last);
  // The round's output, block by block in order, with the input length of each.
  std::size_t Blocks() const { return used_; }
  const std::vector<unsigned char>& Output(std::size_t i) const { return blocks_[i].out; }
  std::size_t InputLength(std::size_t i) const { return blocks_[i].length; }
  // The stream's last four bytes, once the last round is deflated.
  std::vector<unsigned char> Trailer() const;

private:
  struct TBlock {
    z_stream z{};
    bool open = false;
    const unsigned char* in = nullptr;
    std::size_t length = 0;
    std::size_t dictionary = 0;  // bytes of input before `in` that prime the block
    bool last = false;
    std::vector<unsigned char> out;
    uLong adler = 1;
    bool ok = false;
  };
  static void Run(TBlock& b);

  int level_;
  std::size_t parallel_;
  std::vector<TBlock> blocks_;  // one more than run at once: the empty final block
  std::vector<unsigned char> round_;  // the previous round's last 32 KB, then this round's input
  std::size_t carried_ = 0;           // how much of the window holds input of the stream
  std::size_t used_ = 0;
  uLong adler_ = 1;
};

}  // namespace tav
