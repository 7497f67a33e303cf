// What the probe's own test target shows, shared by the target and the test.
#pragma once

namespace qltarget {

constexpr char kClass[] = "QlProbeTarget";
constexpr char kToolClass[] = "QlProbeTargetOwner";
constexpr int kWidth = 200;
constexpr int kHeight = 150;
constexpr int kAlpha = 200;
constexpr unsigned kTrayMessage = 0x8064;
constexpr int kIdLabel = 10;
constexpr int kIdButton = 11;
constexpr int kIdEdit = 12;
constexpr int kMenuFirst = 21;
constexpr int kMenuSecond = 22;
constexpr int kSquareLeft = 8;
constexpr int kSquareTop = 8;
constexpr int kSquareSize = 20;
constexpr int kLabelLeft = 32;
constexpr int kLabelTop = 40;
constexpr int kLabelWidth = 120;
constexpr int kLabelHeight = 24;

}  // namespace qltarget
