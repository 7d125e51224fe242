// Test support: the plug-in linked into the test program, started in an embedded host.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "host/host.h"
#include "hostapp/core/embedded_host.h"
#include "hostapp/paint/paint_bitmap.h"
#include "hostapp/paint/paint_impl.h"
#include "hostapp/scene/scene_builder.h"
#include "hostapp/scene/scene_impl.h"

class PluginHostTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(host_.loadEntry(&c4d_main, PIGMORA_RES_DIR, error)) << error;
    doc_ = host_.sceneImpl().activeDocumentImpl();
    ASSERT_NE(doc_, nullptr);
  }
  void TearDown() override { host_.unload(); }

  hostapp::SceneBuilder builder() { return hostapp::SceneBuilder(host_, doc_); }

  hostapp::EmbeddedHost host_;
  hostapp::DocumentImpl* doc_ = nullptr;
};
