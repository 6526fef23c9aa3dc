#pragma once
// A fresh folder under /tmp for one test, removed with everything in it afterwards.
#include <cstdlib>
#include <filesystem>
#include <string>

class TempVerzeichnis {
public:
    TempVerzeichnis() {
        std::string vorlage = (std::filesystem::temp_directory_path() / "purivo_XXXXXX").string();
        if (!mkdtemp(vorlage.data())) std::abort();
        pfad_ = vorlage;
    }
    ~TempVerzeichnis() {
        std::error_code ec;
        std::filesystem::permissions(pfad_, std::filesystem::perms::owner_all, ec);
        std::filesystem::remove_all(pfad_, ec);
    }
    TempVerzeichnis(const TempVerzeichnis&) = delete;
    TempVerzeichnis& operator=(const TempVerzeichnis&) = delete;
    const std::string& pfad() const { return pfad_; }
    std::string operator/(const std::string& name) const { return pfad_ + "/" + name; }

private:
    std::string pfad_;
};
