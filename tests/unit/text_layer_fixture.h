// SPDX-License-Identifier: MIT
// Runs plug-in operations in-process against the headless host's text layer, the way a render
// command would: an effect instance on the scene's layer, a call context for accounting,
// faults and the call log, and the render's PF_InData fields that the text geometry reads.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "headless/composition/scene.h"
#include "headless/instance/call_context.h"
#include "headless/instance/effect_instance.h"
#include "headless/suites/suite_registry.h"
#include "host/entry_point.h"
#include "hostapi/host_api.h"
#include "text/text_outline_query.h"

namespace quorvel::test_support {

// A closed outline through the given (x, y) vertices: as many segments as vertices.
inline headless::TextOutline ClosedOutline(std::vector<std::pair<double, double>> points) {
  headless::TextOutline outline;
  for (const auto& [x, y] : points) outline.vertices.push_back(PF_PathVertex{x, y, 0, 0, 0, 0});
  outline.closed = true;
  return outline;
}

// An open outline: one segment fewer than vertices.
inline headless::TextOutline OpenOutline(std::vector<std::pair<double, double>> points) {
  headless::TextOutline outline = ClosedOutline(std::move(points));
  outline.closed = false;
  return outline;
}

// The rectangle from (left, top) to (right, bottom) as one closed glyph outline.
inline headless::TextOutline RectangleOutline(double left, double top, double right,
                                              double bottom) {
  return ClosedOutline({{left, top}, {right, top}, {right, bottom}, {left, bottom}});
}

struct ReceivedVertex {
  double x;
  double y;
  bool first;
  bool operator==(const ReceivedVertex& other) const {
    return x == other.x && y == other.y && first == other.first;
  }
};

inline void PrintTo(const ReceivedVertex& v, std::ostream* os) {
  *os << "(" << v.x << ", " << v.y << (v.first ? ", first)" : ")");
}

class RecordingSink final : public VertexSink {
 public:
  void Vertex(double x, double y, bool first) override { received.push_back({x, y, first}); }
  std::vector<ReceivedVertex> received;
};

class TextLayerTest : public ::testing::Test {
 protected:
  TextLayerTest() : instance_(&EntryPointFunc) {
    context_.instance = &instance_;
    context_.command = PF_Cmd_RENDER;
    context_.faults = &instance_.faults();
    context_.log = &log_;

    in_data_.effect_ref = instance_.effect_ref();
    in_data_.pica_basicP = headless::HostBasicSuite();
    in_data_.time_scale = 30;
    in_data_.time_step = 1;
    in_data_.downsample_x = {1, 1};
    in_data_.downsample_y = {1, 1};
  }

  headless::TextLayer& Layer() { return instance_.mutable_scene().layer; }
  headless::Composition& Comp() { return instance_.mutable_scene().composition; }

  // The layer's outlines, the same at every time.
  void SetOutlines(headless::TextOutlines outlines) {
    Layer().explicit_outlines = headless::Animated<headless::TextOutlines>(std::move(outlines));
  }

  void SetMotionBlur(bool layer_switch, bool composition_switch) {
    Layer().motion_blur = layer_switch;
    Comp().motion_blur = composition_switch;
  }

  void RefuseSuite(const char* name, int32_t version) {
    instance_.faults().RefuseSuite(name, version);
  }

  std::vector<std::string> Acquisitions() const {
    std::vector<std::string> acquired;
    for (const std::string& entry : log_.Entries()) {
      if (entry.rfind("AcquireSuite ", 0) == 0) acquired.push_back(entry.substr(13));
    }
    return acquired;
  }

  bool Acquired(const std::string& suite) const {
    for (const std::string& name : Acquisitions()) {
      if (name == suite) return true;
    }
    return false;
  }

  const headless::Ledger& Held() const { return context_.ledger; }

  headless::EffectInstance instance_;
  headless::CallLog log_;
  headless::CallContext context_;
  headless::ScopedCall call_{context_};
  PF_InData in_data_{};
};

}  // namespace quorvel::test_support
