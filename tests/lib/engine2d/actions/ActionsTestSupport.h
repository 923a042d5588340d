#pragma once
// What the action tests share: a fresh action manager per test with a
// running node on it, and a probe action that writes down every call.

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "lib/engine2d/actionmanager/GxActionManager.h"
#include "lib/engine2d/actions/GxActionInterval.h"
#include "lib/engine2d/nodes/GxNode.h"

namespace engine2d::testing {

// A timed action that records start, update(t) and stop.
class Probe : public GxActionInterval {
public:
    Probe(std::string name, float d, std::vector<std::string>* log)
        : GxActionInterval(d), name_(std::move(name)), log_(log) {}
    GxActionRef copy() const override { return std::make_shared<Probe>(name_, duration_, log_); }
    void startWithTarget(GxNode* t) override {
        GxActionInterval::startWithTarget(t);
        log_->push_back(name_ + " start");
    }
    void update(float t) override {
        char buf[64];
        std::snprintf(buf, sizeof buf, "%s %.4g", name_.c_str(), double(t));
        log_->push_back(buf);
    }
    void stop() override {
        log_->push_back(name_ + " stop");
        GxActionInterval::stop();
    }
    GxFiniteTimeActionRef reverse() const override { return std::make_shared<Probe>(name_ + "'", duration_, log_); }

private:
    std::string name_;
    std::vector<std::string>* log_;
};

inline std::shared_ptr<Probe> probe(std::string name, float d, std::vector<std::string>* log) {
    return std::make_shared<Probe>(std::move(name), d, log);
}

class ActionsTest : public ::testing::Test {
protected:
    void SetUp() override {
        manager = std::make_shared<GxActionManager>();
        node = runningNode();
    }
    void TearDown() override { manager->removeAllActions(); }

    GxNodeRef runningNode() {
        auto n = GxNode::node();
        n->setActionManager(manager);
        n->onEnter();
        return n;
    }

    std::shared_ptr<GxActionManager> manager;
    GxNodeRef node;
    std::vector<std::string> log;
};

}  // namespace engine2d::testing
