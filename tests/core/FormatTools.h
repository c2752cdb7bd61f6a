// Test files of the newer picture types, written with the formats' own Debian tools from PNG inputs; shared by
// the decoder tests and the window tests, so neither needs a test framework of the other's.
#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

namespace fixtures {

// Runs one of the formats' command-line tools. Empty when it succeeded, else what failed with its output.
inline QString RunTool(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    if (!process.waitForFinished(300000) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return program + QStringLiteral(" failed: ") + QString::fromLocal8Bit(process.readAll()) +
               process.errorString();
    return {};
}

// Each turns PNG input files (several for a multi-picture file, where the format has one) into `output`;
// the result is RunTool's.
inline QString EncodeWebp(const QStringList& inputs, const QString& output, bool lossless)
{
    if (inputs.size() > 1) {
        QStringList args{QStringLiteral("-o"), output};
        if (lossless)
            args << QStringLiteral("-lossless");
        return RunTool(QStringLiteral("img2webp"), args + inputs);
    }
    QStringList args{QStringLiteral("-quiet"), inputs.front(), QStringLiteral("-o"), output};
    args << (lossless ? QStringList{QStringLiteral("-lossless"), QStringLiteral("-exact")}
                      : QStringList{QStringLiteral("-q"), QStringLiteral("90")});
    return RunTool(QStringLiteral("cwebp"), args);
}

inline QString EncodeHeif(const QStringList& inputs, const QString& output, bool lossless)
{
    // x265's slower presets take minutes on a busy machine; the fastest still gives a faithful picture.
    QStringList args{QStringLiteral("-o"), output, QStringLiteral("-p"), QStringLiteral("preset=ultrafast")};
    args << (lossless ? QStringList{QStringLiteral("-q"), QStringLiteral("100")}
                      : QStringList{QStringLiteral("-q"), QStringLiteral("90")});
    return RunTool(QStringLiteral("heif-enc"), args + inputs);
}

// `extra` goes before the inputs (avifenc's --irot and --imir, for instance).
inline QString EncodeAvif(const QStringList& inputs, const QString& output, bool lossless,
                          const QStringList& extra = {})
{
    QStringList args{QStringLiteral("-s"), QStringLiteral("10")};
    if (lossless)
        args << QStringLiteral("--lossless");
    return RunTool(QStringLiteral("avifenc"), args + extra + inputs + QStringList{output});
}

// cjxl takes one input; an animation is made from a GIF of the frames.
inline QString EncodeJxl(const QStringList& inputs, const QString& output, bool lossless)
{
    return RunTool(QStringLiteral("cjxl"), {inputs.front(), output, QStringLiteral("--quiet"), QStringLiteral("-d"),
                                            lossless ? QStringLiteral("0") : QStringLiteral("1")});
}

}  // namespace fixtures
