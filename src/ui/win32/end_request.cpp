#include "ui/win32/end_request.h"

#include <windows.h>

namespace {

bool pending = false;

}  // namespace

void PostEndRequest() {
  pending = true;
  PostQuitMessage(0);
}

bool EndRequestPending() { return pending; }
