#pragma once
// The result lines of the commands that run the standard selection.
#include <string>

class CUpdaterImp;

namespace zv::tool {

// "selected <manifestId> <componentName> <componentVersion>" per item of the standard
// selection, in result order, or the single line "selected none".
std::wstring SelectionLines(CUpdaterImp& imp);

// Sends the library's log lines up to level to standard error (none for 0), so that
// the selection's reasons can be read beside the result.
void TraceToStderr(int level);
void StopTrace();

} // namespace zv::tool
