#include "common/TickCount.h"

std::uint64_t ExtendTickCount(std::uint64_t last, std::uint32_t now) {
  std::uint64_t count = (last & ~std::uint64_t{0xFFFFFFFF}) | now;
  if (count < last) count += std::uint64_t{1} << 32;
  return count;
}
