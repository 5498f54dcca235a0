// trv volumes [--json] FILE...: the volumes each catalogue file's records were walked on.
#include "catalogue/volumes.h"
#include "catalogfile/cataloguefile.h"
#include "commands.h"
#include "escape.h"
#include "hits.h"
#include "inputs.h"
#include "library/library.h"
#include "output.h"
#include "platform/text.h"

#include <CLI/CLI.hpp>
#include <QDateTime>
#include <QString>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace trv {
namespace {

struct Arguments {
    bool json = false;
    std::vector<std::string> files;
};

// When the walk of the volume began, in local time.
std::string catalogued(const Volume &v)
{
    return QDateTime::fromMSecsSinceEpoch(v.walkBegan).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")).toStdString();
}

void appendText(std::string &out, const std::string &file, const Volume &v, bool named, bool online)
{
    if (named) {
        appendEscaped(out, file);
        out += '\t';
    }
    std::vector<std::string> texts{v.label,
                                   v.uuid,
                                   v.fsType,
                                   std::to_string(v.totalBytes),
                                   std::to_string(v.freeBytes),
                                   std::to_string(v.files),
                                   catalogued(v)};
    texts.emplace_back(online ? "online" : "offline");
    for (const std::string &text : texts) {
        appendEscaped(out, text);
        out += '\t';
    }
    appendEscaped(out, v.mountPoint);
    out += '\n';
}

void appendJsonLine(std::string &out, const std::string &file, const Volume &v, bool online)
{
    const std::pair<const char *, const std::string *> texts[] = {{"file", &file},
                                                                  {"label", &v.label},
                                                                  {"uuid", &v.uuid},
                                                                  {"type", &v.fsType},
                                                                  {"device", &v.device},
                                                                  {"device_number", &v.deviceNumber},
                                                                  {"drive_type", &v.driveType},
                                                                  {"mount_point", &v.mountPoint}};
    const std::pair<const char *, qint64> numbers[] = {{"size", v.totalBytes},
                                                       {"free", v.freeBytes},
                                                       {"files", v.files},
                                                       {"walk_began_ms", v.walkBegan},
                                                       {"walk_ended_ms", v.walkEnded}};
    char sep = '{';
    for (const auto &[key, value] : texts) {
        out += sep + std::string("\"") + key + "\":";
        appendJsonString(out, text::sanitizeUtf8(*value));
        sep = ',';
    }
    for (const auto &[key, value] : numbers)
        out += std::string(",\"") + key + "\":" + std::to_string(value);
    out += std::string(",\"online\":") + (online ? "true" : "false") + "}\n";
}

int volumes(const Arguments &arguments)
{
    std::string out;
    // Without files, the library: every file of its folder, each volume said to be online or not.
    const bool library = arguments.files.empty();
    bool refused = false;
    const std::vector<std::string> files = libraryFiles(arguments.files, refused);
    library::OnlineVolumes mounted;
    for (const std::string &file : files) {
        std::string error;
        Volumes volumes;
        if (!cataloguefile::open(file, error, &volumes)) {
            complain("cannot open the catalogue file '%s': %s", file.c_str(), error.c_str());
            refused = true;
            continue;
        }
        for (const Volume &v : volumes.list) {
            const bool online = mounted.online(v);
            arguments.json ? appendJsonLine(out, file, v, online)
                           : appendText(out, file, v, library || files.size() > 1, online);
        }
    }
    const int status = printed(write(out), "volumes");
    if (status != kSuccess || refused)
        return refused ? kError : status;
    return out.empty() ? kFailed : kSuccess;
}

Run define(CLI::App &command)
{
    auto arguments = std::make_shared<Arguments>();
    command.add_flag("--json", arguments->json);
    command.add_option("FILE", arguments->files);
    return [arguments] { return volumes(*arguments); };
}

} // namespace

constinit const Command volumesCommand{
    "volumes",
    "usage: trv volumes [--json] [FILE|FOLDER...]\n"
    "  Prints the volumes the records of each catalogue file FILE were walked on: label,\n"
    "  UUID, file system type, size and free bytes, files, when catalogued, online or\n"
    "  offline (mounted now or not), mount point. Without FILE, every volume of the library.\n",
    define,
};

} // namespace trv
