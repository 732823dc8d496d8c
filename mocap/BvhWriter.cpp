#include "BvhWriter.h"
#include "PoseSolver.h"

#include <charconv>
#include <cmath>

namespace {

constexpr int kFramesFieldWidth = 12;  // room for the count written at the end

void appendTriple(QByteArray* out, const Eigen::Vector3d& v)
{
    for (int i = 0; i < 3; ++i) {
        out->append(' ');
        BvhWriter::appendNumber(out, v[i]);
    }
}

void writeJoint(QByteArray* out, const Skeleton& s, int j, int depth)
{
    const SkeletonJoint& joint = s.joints()[size_t(j)];
    const QByteArray indent(depth * 2, ' ');
    out->append(indent).append(joint.parent < 0 ? "ROOT " : "JOINT ").append(joint.name.toUtf8()).append('\n');
    out->append(indent).append("{\n");
    out->append(indent).append("  OFFSET");
    // The root stands at its height above the feet, so the feet rest on
    // the floor (y = 0) in the T-pose.
    appendTriple(out, joint.parent < 0 ? Eigen::Vector3d(0, s.rootHeight(), 0) : joint.offset);
    out->append('\n');
    out->append(indent).append(joint.parent < 0 ? "  CHANNELS 6 Xposition Yposition Zposition Zrotation Xrotation Yrotation\n"
                                                : "  CHANNELS 3 Zrotation Xrotation Yrotation\n");
    bool children = false;
    for (int c = j + 1; c < s.size(); ++c) {
        if (s.joints()[size_t(c)].parent == j) {
            writeJoint(out, s, c, depth + 1);
            children = true;
        }
    }
    if (!children) {
        out->append(indent).append("  End Site\n");
        out->append(indent).append("  {\n");
        out->append(indent).append("    OFFSET");
        appendTriple(out, joint.endSite);
        out->append('\n');
        out->append(indent).append("  }\n");
    }
    out->append(indent).append("}\n");
}

} // namespace

BvhWriter::~BvhWriter()
{
    if (file.isOpen())
        close();
}

void BvhWriter::appendNumber(QByteArray* out, double value)
{
    char buf[64];
    if (!std::isfinite(value))
        value = 0;
    // Rounds like %.4f but never looks at the locale.
    const auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, 4);
    QByteArray text(buf, int(r.ptr - buf));
    if (text == "-0.0000")
        text = "0.0000";
    out->append(text);
}

bool BvhWriter::fail(const QString& what)
{
    if (!bFailed) {
        bFailed = true;
        strError = what + QStringLiteral(": ") + file.errorString();
    }
    return false;
}

bool BvhWriter::open(const QString& path, const Skeleton& s, double frameTime, const QStringList& comments)
{
    skeleton = s;
    nFrames = 0;
    bFailed = false;
    strError.clear();
    file.setFileName(path);
    if (s.empty()) {
        strError = QStringLiteral("no skeleton");
        bFailed = true;
        return false;
    }
    if (!(frameTime > 0) || !std::isfinite(frameTime)) {
        strError = QStringLiteral("frame time must be a positive number of seconds");
        bFailed = true;
        return false;
    }
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return fail(QStringLiteral("cannot create ") + path);
    QByteArray head("HIERARCHY\n");
    for (const QString& c : comments)
        head.append("# ").append(c.simplified().toUtf8()).append('\n');
    writeJoint(&head, s, 0, 0);
    head.append("MOTION\n");
    framesFieldAt = head.size() + qint64(sizeof("Frames: ") - 1);
    head.append("Frames: ").append(QByteArray(kFramesFieldWidth, ' ')).append('\n');
    head.append("Frame Time: ");
    char buf[64];
    // Nine digits: six would make a 1/60 s file drift by 0.1 s an hour.
    const auto r = std::to_chars(buf, buf + sizeof buf, frameTime, std::chars_format::general, 9);
    head.append(buf, int(r.ptr - buf)).append('\n');
    // The count field must read as a number even if the program dies now.
    head.replace(int(framesFieldAt), 1, "0");
    if (file.write(head) != head.size() || !file.flush())
        return fail(QStringLiteral("cannot write ") + path);
    return true;
}

bool BvhWriter::writeFrame(const SuitPose& pose)
{
    if (!file.isOpen() || bFailed)
        return false;
    QByteArray line;
    line.reserve(32 * skeleton.size());
    for (int j = 0; j < skeleton.size(); ++j) {
        if (j > 0)
            line.append(' ');
        if (j == 0) {
            // Importers (Blender's among them) take the position channels as
            // the root's place, the OFFSET only as its rest: both hold the height.
            appendTriple(&line, pose.rootPosition + Eigen::Vector3d(0, skeleton.rootHeight(), 0));
            line.append(' ');
        }
        const Eigen::Vector3d e = PoseSolver::eulerZXY(PoseSolver::local(skeleton, pose, j));
        appendNumber(&line, e[0]);
        line.append(' ');
        appendNumber(&line, e[1]);
        line.append(' ');
        appendNumber(&line, e[2]);
    }
    // The root's triple began with a blank.
    if (line.startsWith(' '))
        line.remove(0, 1);
    line.append('\n');
    if (file.write(line) != line.size() || !file.flush())
        return fail(QStringLiteral("cannot write ") + file.fileName());
    ++nFrames;
    return true;
}

bool BvhWriter::close()
{
    if (!file.isOpen())
        return !bFailed;
    if (!bFailed) {
        const QByteArray count = QByteArray::number(nFrames).leftJustified(kFramesFieldWidth, ' ');
        if (!file.seek(framesFieldAt) || file.write(count) != count.size() || !file.flush())
            fail(QStringLiteral("cannot write the frame count into ") + file.fileName());
    }
    file.close();
    if (file.error() != QFileDevice::NoError && !bFailed)
        fail(QStringLiteral("cannot close ") + file.fileName());
    return !bFailed;
}
