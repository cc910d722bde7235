#include "gl/BoxQueries.h"

#include "gl/Extensions.h"

namespace {

PFNGLGENQUERIESARBPROC genQueries = nullptr;
PFNGLDELETEQUERIESARBPROC deleteQueries = nullptr;
PFNGLBEGINQUERYARBPROC beginQuery = nullptr;
PFNGLENDQUERYARBPROC endQuery = nullptr;
PFNGLGETQUERYOBJECTUIVARBPROC queryResult = nullptr;

// Before the near plane somewhere: its faces may be cut away where what
// lies in it is still seen.
bool reachesNearPlane(const AxisBox& box, const Matrix4& m) {
  for (int corner = 0; corner < 8; ++corner) {
    const float p[3] = {(corner & 1) ? box.high[0] : box.low[0],
                        (corner & 2) ? box.high[1] : box.low[1],
                        (corner & 4) ? box.high[2] : box.low[2]};
    float clip[4];
    for (int r = 0; r < 4; ++r)
      clip[r] = m[r] * p[0] + m[r + 4] * p[1] + m[r + 8] * p[2] + m[r + 12];
    // With a little room: the GL makes its own matrix in its own steps.
    if (!(clip[3] > 0.0f) || !(clip[2] + clip[3] > 1e-3f * clip[3])) return true;
  }
  return false;
}

void drawBox(const AxisBox& box) {
  static const int faces[6][4] = {{0, 4, 6, 2}, {1, 3, 7, 5}, {0, 1, 5, 4},
                                  {2, 6, 7, 3}, {0, 2, 3, 1}, {4, 5, 7, 6}};
  glBegin(GL_QUADS);
  for (const auto& face : faces)
    for (int corner : face)
      glVertex3f((corner & 1) ? box.high[0] : box.low[0], (corner & 2) ? box.high[1] : box.low[1],
                 (corner & 4) ? box.high[2] : box.low[2]);
  glEnd();
}

}  // namespace

std::vector<bool> BoxQueries::seen(const std::vector<AxisBox>& boxes, const Matrix4& clip) {
  std::vector<bool> answers(boxes.size(), true);
  if (!fetched_) {
    fetched_ = true;
    if (extensionSupported("GL_ARB_occlusion_query")) {
      fetchEntryPoint(genQueries, "glGenQueriesARB");
      fetchEntryPoint(deleteQueries, "glDeleteQueriesARB");
      fetchEntryPoint(beginQuery, "glBeginQueryARB");
      fetchEntryPoint(endQuery, "glEndQueryARB");
      fetchEntryPoint(queryResult, "glGetQueryObjectuivARB");
    }
  }
  if (!genQueries || !deleteQueries || !beginQuery || !endQuery || !queryResult) return answers;
  if (queries_.size() < boxes.size()) {
    const std::size_t had = queries_.size();
    queries_.resize(boxes.size());
    genQueries(static_cast<GLsizei>(boxes.size() - had), queries_.data() + had);
  }
  glPushAttrib(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_ENABLE_BIT);
  glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE);
  glDepthMask(GL_FALSE);
  glEnable(GL_DEPTH_TEST);
  glDisable(GL_CULL_FACE);
  std::vector<bool> asked(boxes.size(), false);
  for (std::size_t i = 0; i < boxes.size(); ++i) {
    if (reachesNearPlane(boxes[i], clip)) continue;
    beginQuery(GL_SAMPLES_PASSED_ARB, queries_[i]);
    drawBox(boxes[i]);
    endQuery(GL_SAMPLES_PASSED_ARB);
    asked[i] = true;
  }
  glPopAttrib();
  for (std::size_t i = 0; i < boxes.size(); ++i) {
    if (!asked[i]) continue;
    GLuint samples = 1;
    queryResult(queries_[i], GL_QUERY_RESULT_ARB, &samples);
    answers[i] = samples > 0;
  }
  return answers;
}

void BoxQueries::release() {
  if (!queries_.empty() && deleteQueries)
    deleteQueries(static_cast<GLsizei>(queries_.size()), queries_.data());
  queries_.clear();
  fetched_ = false;
}
