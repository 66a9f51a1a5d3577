#include "app/IconSide.h"

int TrayIconSide(int monitorSmallIconSide, int systemSmallIconSide) {
  int side = monitorSmallIconSide > 0 ? monitorSmallIconSide : systemSmallIconSide;
  if (side <= 0) side = kDefaultSmallIconSide;
  return side < kLargestIconSide ? side : kLargestIconSide;
}
