// Loading model text into the program-wide mesh store from a test.
#pragma once

#include "mesh/ase_reader.h"
#include "mesh/mesh_store.h"
#include "support/posix.h"

#include <gtest/gtest.h>

#include <string>

// Scans `text` as a model file into a fresh store; returns the console text.
inline std::string read_model(const std::string& text, const ase_options& options = {}) {
    reset_mesh_store();
    testing::internal::CaptureStdout();
    std::FILE* file = fmemopen(const_cast<char*>(text.data()), text.size(), "r");
    scan_ase(file, "model", options);
    std::fclose(file);
    return testing::internal::GetCapturedStdout();
}

// For death tests: the console line of a fatal path goes to stdout, which
// the death-test matcher does not see, so send stdout to stderr first.
inline void read_model_dying(const std::string& text, const ase_options& options = {}) {
    dup2(2, 1);
    reset_mesh_store();
    std::FILE* file = fmemopen(const_cast<char*>(text.data()), text.size(), "r");
    scan_ase(file, "model", options);
}

class MeshTest : public testing::Test {
  protected:
    void TearDown() override { reset_mesh_store(); }
};
