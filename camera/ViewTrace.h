// With NPR_VIEW_TRACE naming a file, every update appends one line to it:
// the update's number, the camera's view direction, its eye and the pitch
// used up. The end-to-end tests read where the camera looks from it.
#pragma once

// Opens the file when the variable is set: afresh at the first call of the
// process, for appending after a rebuild.
void openViewTrace();
// Appends the line of one update, when tracing.
class Camera;
void traceView(const Camera& camera);
void closeViewTrace();
