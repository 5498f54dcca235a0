#include "library/library.h"

#include "platform/volumeid.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <algorithm>
#include <fstream>
#include <sstream>

namespace library {

std::string defaultFolder()
{
    return QFile::encodeName(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation) +
                             QStringLiteral("/Tarvolo"))
        .toStdString();
}

std::vector<std::string> catalogueFiles(const std::vector<std::string> &inputs, std::vector<std::string> &unusable)
{
    std::vector<std::string> files;
    for (const std::string &input : inputs) {
        const QFileInfo info(QFile::decodeName(input.c_str()));
        if (info.isFile()) {
            files.push_back(input);
        } else if (info.isDir()) {
            std::vector<std::string> inFolder;
            const QStringList names = QDir(info.filePath()).entryList({QStringLiteral("*.trv")}, QDir::Files);
            for (const QString &name : names)
                inFolder.push_back(input + (input.ends_with('/') ? "" : "/") + QFile::encodeName(name).toStdString());
            std::sort(inFolder.begin(), inFolder.end());
            files.insert(files.end(), inFolder.begin(), inFolder.end());
        } else {
            unusable.push_back(input + ": " + (info.exists() ? "not a file or folder" : "no such file or folder"));
        }
    }
    return files;
}

OnlineVolumes::OnlineVolumes()
{
    std::ifstream in("/proc/self/mountinfo");
    std::stringstream text;
    text << in.rdbuf();
    m_mountInfo = text.str();
    m_mounts = parseMountInfo(m_mountInfo);
}

bool OnlineVolumes::online(const Volume &v)
{
    if (v.uuid.empty())
        return std::any_of(m_mounts.begin(), m_mounts.end(),
                           [&v](const MountEntry &m) { return m.mountPoint == v.mountPoint && m.source == v.device; });
    // Probing every mount costs a read of each device's superblock: done once, when needed.
    if (!m_probed) {
        for (const MountEntry &m : m_mounts)
            if (const VolumeIdentity id = identifyVolume(m.mountPoint, m_mountInfo); !id.uuid.empty())
                m_uuids[id.uuid] = true;
        m_probed = true;
    }
    return m_uuids.contains(v.uuid);
}

} // namespace library
