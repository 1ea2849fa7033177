// zor_pending.cpp - placeholders until the archive layer's extraction, testing, locking and deleting land.
#include "ui/zor.h"

namespace zor {

void TZOR_Main::UnPackButtonClick() {}
void TZOR_Main::ExtractArchive(const QString&) {}
void TZOR_Main::TestButtonClick() {}
void TZOR_Main::LockButtonClick() {}
void TZOR_Main::Delete1Click() {}

}  // namespace zor
