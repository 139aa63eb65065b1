#pragma once
// A feature whose answer a test sets, recording when it is asked.
#include <memory>
#include <string>
#include <vector>

#include "data_analyser.h"

class StubFeature final : public IDataAnalyser {
public:
    StubFeature(int id, std::vector<int>* calls) : id_(id), calls_(calls) {}

    int GetId() override { return id_; }
    const char* GetName() override { return "ID_Stub"; }
    int Prepare() override {
        ++prepares;
        if (calls_ != nullptr) calls_->push_back(-id_);
        return 1;
    }
    int Analyse(IVirusCaptorDataProvidor* /*record*/) override {
        ++analyses;
        if (calls_ != nullptr) calls_->push_back(id_);
        return result;
    }
    int Notify(int code) override {
        lastNotify = code;
        return 1;
    }

    int result = 0;
    int prepares = 0;
    int analyses = 0;
    int lastNotify = 0;

private:
    int id_;
    std::vector<int>* calls_;
};

// One stub for each id of the real catalogue, registered in catalogue order.
class StubCatalogue {
public:
    explicit StubCatalogue(std::vector<int>* calls = nullptr) {
        for (int id : kCatalogueIds) stubs_.push_back(std::make_unique<StubFeature>(id, calls));
    }
    std::vector<IDataAnalyser*> Features() const {
        std::vector<IDataAnalyser*> features;
        for (const auto& stub : stubs_) features.push_back(stub.get());
        return features;
    }
    StubFeature& Get(int id) {
        for (auto& stub : stubs_) {
            if (stub->GetId() == id) return *stub;
        }
        return *stubs_.front();
    }
    void Fire(std::initializer_list<int> ids) {
        for (int id : ids) Get(id).result = 1;
    }

    static constexpr int kCatalogueIds[18] = {6605, 6604, 6609, 6610, 6600, 6603, 6601, 6602, 6606,
                                              6608, 6607, 6611, 6612, 6613, 6614, 6615, 6616, 6620};

private:
    std::vector<std::unique_ptr<StubFeature>> stubs_;
};
