#include "RoadPictures.h"

#include <UIKit/UIScreenshot.h>
#include <UIKit/UITestDriver.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <utility>

RoadPictures::RoadPictures(std::string dir, std::string run) : dir_(std::move(dir)), run_(std::move(run)) {
    if (!dir_.empty()) {
        std::error_code ignored; // a folder that cannot be made fails the first picture, which says why
        std::filesystem::create_directories(dir_, ignored);
        // Every new screen as the device shows it, rendered at its scale.
        UIScreenshotRecordToDirectory(dir_);
    }
}

RoadPictures::~RoadPictures() {
    if (!dir_.empty()) {
        UIScreenshotRecordToDirectory("");
    }
}

bool RoadPictures::take(const std::string& name) {
    if (dir_.empty()) {
        return true;
    }
    if (!failure_.empty()) {
        return !reportLoss();
    }
    char file[32];
    std::snprintf(file, sizeof file, "%03d-", ++count_);
    std::string path = dir_ + "/" + file + name + ".txt";
    errno = 0;
    std::ofstream out(path);
    out << UITestDriver::describeScreen();
    out.close();
    if (!out) {
        failure_ = path + ": " + (errno ? std::strerror(errno) : "cannot be written");
    }
    return !reportLoss();
}

std::string RoadPictures::failure() const {
    if (!failure_.empty() || dir_.empty()) {
        return failure_;
    }
    auto failed = UIScreenshotFailedWrites(); // a recording lists only its own
    return failed.empty() ? std::string() : failed.front();
}

bool RoadPictures::reportLoss() const {
    auto lost = failure();
    if (!lost.empty() && !lossSaid_) {
        lossSaid_ = true;
        std::fprintf(stderr, "a picture could not be written, the %s ends: %s\n", run_.c_str(), lost.c_str());
    }
    return !lost.empty();
}

bool isFinalTransaction(const nlohmann::ordered_json& record, const std::string& sessionId, bool evaluate) {
    if (!record.is_object()) {
        return false;
    }
    auto field = [&](const char* key) { return record.contains(key) ? record[key] : nlohmann::ordered_json(); };
    auto result = field("result");
    return result.is_number_integer() && result != 2 && field("uuid") == sessionId &&
           field("evaluate") == (evaluate ? "1" : "0");
}
