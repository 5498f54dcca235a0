#pragma once
// A realistic catalogue without touching the disk: folders of 5 to 60 files with mixed
// names (many repeated), extensions, sizes and dates, stored in the walk's value forms,
// exact names and folders included.

#include "catalogue/layouts.h"
#include "catalogue/recordvalues.h"
#include "platform/text.h"

#include <random>
#include <string>

inline void fillSyntheticCatalogue(RecordSet &rs, int files, unsigned seed = 42)
{
    static const char *const words[] = {"report", "Holiday photo", "invoice",     "main",    "README",
                                        "notes",  "IMG",           "track",       "setup",   "config",
                                        "index",  "Résumé",        "draft final", "data",    "module",
                                        "test",   "backup",        "Screenshot",  "chapter", "template"};
    static const char *const exts[] = {".txt",  ".jpeg", ".jpg",  ".c", ".h",      ".py",  ".mp3", ".pdf",
                                       ".docx", ".html", ".json", "",   ".tar.gz", ".png", ".cpp", ".md"};
    std::mt19937 rng(seed);
    auto pick = [&rng](auto &array) { return array[rng() % std::size(array)]; };
    std::vector<std::string> folders{"/home/ann/"};
    std::vector<int> depth{0};
    std::string path, key;
    int inFolder = 0;
    for (int i = 0; i < files; ++i) {
        if (inFolder-- <= 0) {
            // Real trees are wide rather than deep: a few levels below a home folder.
            std::size_t parent = folders.size() - 1 - rng() % std::min<std::size_t>(folders.size(), 200);
            while (depth[parent] >= 6)
                parent = rng() % folders.size();
            folders.push_back(folders[parent] + pick(words) + " " + std::to_string(folders.size()) + "/");
            depth.push_back(depth[parent] + 1);
            path = values::pathValue(folders.back());
            inFolder = 5 + int(rng() % 56);
        }
        // A quarter of the names recur across folders, as copies and backups do.
        const int number = rng() % 4 == 0 ? int(rng() % 5000) : i;
        const std::string name = std::string(pick(words)) + "_" + std::to_string(number) + pick(exts);
        const std::string longValue = values::longNameValue(name);
        const std::string alias = text::toUpper(name.substr(0, std::min<std::size_t>(6, name.size()))) + "~1.TXT";
        const std::string shortValue = values::shortNameValue(alias, longValue);
        const LocalTime t{1990 + int(rng() % 36), 1 + int(rng() % 12), 1 + int(rng() % 28),
                          int(rng() % 24),        int(rng() % 60),     int(rng() % 60)};
        key.clear();
        rs.addNew();
        rs.setExact(fld::LongName, name, longValue);
        rs.setField(fld::ShortName, shortValue);
        rs.setExact(fld::Path, folders.back(), path);
        rs.setField(fld::Modified, FileTimeText(t, key));
        rs.setField(fld::Created, FileTimeText(t));
        rs.setField(fld::Accessed, values::accessedValue(FileTimeText(t)));
        rs.setField(fld::Size, qint64(rng() % 3 == 0 ? rng() % 100'000'000 : rng() % 65536));
        rs.setField(fld::DateKey, key);
        rs.setField(fld::Extension, values::extensionValue(shortValue));
    }
    rs.squeeze();
}
