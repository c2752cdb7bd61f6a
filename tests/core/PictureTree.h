// A small generated picture folder recorded in a catalogue, as the scanner would: similar and identical
// pictures, undecodable and too-small files, several formats; and a snapshot of what a match left behind,
// so that two runs can be compared field by field.
#pragma once

#include "engine/Catalogue.h"
#include "PictureFixtures.h"

#include <QDir>
#include <QFileInfo>
#include <gtest/gtest.h>
#include <QString>
#include <QStringList>

#include <string>
#include <vector>

namespace fixtures {

// Writes the folder's files under `folder` (which ends with "/") in catalogue order and returns their names.
inline QStringList WritePictureTree(const QString& folder) {
    QStringList names;
    auto add = [&](const QString& name, const QByteArray& bytes) {
        WriteBytes(folder + name, bytes);
        names << name;
    };
    const QImage a = MakeNaturalPicture(320, 240, 1);
    const QImage b = MakeNaturalPicture(240, 300, 2);
    const QByteArray identical = EncodeJpeg(MakeNaturalPicture(200, 150, 3), {.Quality = 85});
    add("00-a.jpg", EncodeJpeg(a, {.Quality = 92}));
    add("01-garbage.jpg", "this is not a picture at all");
    add("02-b.png", EncodeImage(b, "png"));
    add("03-small.png", EncodeImage(MakeNaturalPicture(60, 60, 4), "png"));
    add("04-a-recompressed.jpg", EncodeJpeg(a, {.Quality = 55}));
    add("05-same.jpg", identical);
    add("06-large.jpg", EncodeJpeg(MakeNaturalPicture(640, 560, 5), {.Quality = 80}));
    add("07-same.jpg", identical);
    add("08-png-named-jpg.jpg", EncodeImage(MakeNaturalPicture(150, 150, 6), "png"));
    add("09-same.jpg", identical);
    add("10-b.bmp", EncodeImage(b, "bmp"));
    add("11-garbage.png", "neither is this");
    add("12-other.jpg", EncodeJpeg(MakeNaturalPicture(300, 200, 7), {.Quality = 90}));
    add("13-small-same.png", EncodeImage(MakeNaturalPicture(60, 60, 4), "png"));
    add("14-wide.jpg", EncodeJpeg(MakeNaturalPicture(400, 120, 8), {.Quality = 90}));
    add("15-a-again.png", EncodeImage(a, "png"));
    return names;
}

// Records the files in a fresh catalogue, trimmed and with its pair list, ready for the matcher.
inline void RecordPictures(Catalogue& cat, const QString& folder, const QStringList& names) {
    cat.Reset();
    cat.AllocateInitial();
    cat.AppendFolderPath(folder);
    for (const QString& name : names) {
        TPicInfo pic;
        pic.FileName = name;
        pic.Size = QFileInfo(folder + name).size();
        pic.PathInd = 0;
        cat.AppendPicture(pic);
        cat.ApplyPictureGrowth();
    }
    cat.TrimPicturesAndPaths();
    cat.AllocatePairs();
}

// Everything a match writes into the catalogue.
struct MatchSnapshot {
    struct Picture {
        TCCVStage Stage;
        int32_t Height, Width;
        TPreBuffer Head;
        TWaveletCoefs Pos, Neg;
        friend bool operator==(const Picture&, const Picture&) = default;
    };
    std::vector<Picture> Pictures;
    TPicturePairs Pairs;
    int32_t LastPicIndex = -1;
    friend bool operator==(const MatchSnapshot&, const MatchSnapshot&) = default;
};

inline MatchSnapshot TakeSnapshot(Catalogue& cat) {
    cat.TrimPairs();
    MatchSnapshot s;
    for (const TPicInfo& p : cat.Pictures)
        s.Pictures.push_back({p.CCVStage, p.Height, p.Width, p.PreBuffer, p.WaveletCoefsPos, p.WaveletCoefsNeg});
    s.Pairs = cat.PicturePairs;
    s.LastPicIndex = cat.LastPicIndex;
    return s;
}

// The pair list as text, for failure messages.
inline std::string DescribePairs(const TPicturePairs& pairs) {
    std::string out;
    for (const TPicturePair& p : pairs)
        out += "(" + std::to_string(p.PicIndex1) + "," + std::to_string(p.PicIndex2) + "," +
               std::to_string(p.Similarity) + ") ";
    return out;
}

// Field by field, so that a failure names the picture that differs.
inline void ExpectSameMatch(const MatchSnapshot& expected, const MatchSnapshot& actual) {
    EXPECT_EQ(expected.LastPicIndex, actual.LastPicIndex);
    EXPECT_TRUE(expected.Pairs == actual.Pairs)
        << "expected " << DescribePairs(expected.Pairs) << "\n  actual " << DescribePairs(actual.Pairs);
    ASSERT_EQ(expected.Pictures.size(), actual.Pictures.size());
    for (size_t k = 0; k < expected.Pictures.size(); ++k)
        EXPECT_TRUE(expected.Pictures[k] == actual.Pictures[k]) << "picture " << k;
}

}  // namespace fixtures
