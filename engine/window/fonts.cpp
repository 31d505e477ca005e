#include "engine/window/fonts.h"

#include <QFont>
#include <QHash>

namespace brevix::docwindow {

namespace {

struct Mapping {
    QStringList names;
    QStringList faces;
};

// Closest free faces: a brush Kai face for the calligraphic 隶书 and 楷体,
// a Ming (Song) face for 宋体 and 仿宋, a Hei face for 黑体 and the rounded
// 幼圆, metric-compatible Liberation faces for the Latin core faces. Last,
// the faces every Chinese Windows has, for a Windows without the named one
// (楷体_GB2312 and 仿宋_GB2312 are gone from Windows since Vista).
const QList<Mapping>& Mappings()
{
    static const QList<Mapping> mappings = {
        {{QStringLiteral("隶书"), QStringLiteral("LiSu")},
         {QStringLiteral("AR PL UKai CN"), QStringLiteral("Noto Serif CJK SC"), QStringLiteral("WenQuanYi Zen Hei"),
          QStringLiteral("KaiTi")}},
        {{QStringLiteral("楷体_GB2312"), QStringLiteral("楷体"), QStringLiteral("KaiTi_GB2312"), QStringLiteral("KaiTi")},
         {QStringLiteral("AR PL UKai CN"), QStringLiteral("Noto Serif CJK SC"), QStringLiteral("WenQuanYi Zen Hei"),
          QStringLiteral("KaiTi")}},
        {{QStringLiteral("仿宋_GB2312"), QStringLiteral("仿宋"), QStringLiteral("FangSong_GB2312"), QStringLiteral("FangSong")},
         {QStringLiteral("AR PL UMing CN"), QStringLiteral("Noto Serif CJK SC"), QStringLiteral("WenQuanYi Zen Hei"),
          QStringLiteral("FangSong")}},
        {{QStringLiteral("宋体"), QStringLiteral("新宋体"), QStringLiteral("SimSun"), QStringLiteral("NSimSun")},
         {QStringLiteral("AR PL UMing CN"), QStringLiteral("Noto Serif CJK SC"), QStringLiteral("WenQuanYi Zen Hei"),
          QStringLiteral("SimSun")}},
        {{QStringLiteral("黑体"), QStringLiteral("SimHei")},
         {QStringLiteral("WenQuanYi Zen Hei"), QStringLiteral("Noto Sans CJK SC"), QStringLiteral("WenQuanYi Micro Hei"),
          QStringLiteral("SimHei")}},
        {{QStringLiteral("幼圆"), QStringLiteral("YouYuan")},
         {QStringLiteral("WenQuanYi Zen Hei"), QStringLiteral("Noto Sans CJK SC"), QStringLiteral("WenQuanYi Micro Hei"),
          QStringLiteral("Microsoft YaHei")}},
        {{QStringLiteral("Microsoft YaHei"), QStringLiteral("微软雅黑")},
         {QStringLiteral("Noto Sans CJK SC"), QStringLiteral("WenQuanYi Micro Hei"), QStringLiteral("WenQuanYi Zen Hei")}},
        {{QStringLiteral("MingLiU"), QStringLiteral("PMingLiU"), QStringLiteral("细明体"), QStringLiteral("新细明体")},
         {QStringLiteral("AR PL UMing TW"), QStringLiteral("Noto Serif CJK TC"), QStringLiteral("AR PL UMing CN")}},
        {{QStringLiteral("Times New Roman")},
         {QStringLiteral("Liberation Serif"), QStringLiteral("Nimbus Roman"), QStringLiteral("DejaVu Serif")}},
        {{QStringLiteral("Arial")},
         {QStringLiteral("Liberation Sans"), QStringLiteral("Nimbus Sans"), QStringLiteral("DejaVu Sans")}},
        {{QStringLiteral("Tahoma"), QStringLiteral("Verdana")},
         {QStringLiteral("DejaVu Sans"), QStringLiteral("Liberation Sans")}},
        {{QStringLiteral("Georgia")},
         {QStringLiteral("DejaVu Serif"), QStringLiteral("Liberation Serif")}},
        {{QStringLiteral("Courier New")},
         {QStringLiteral("Liberation Mono"), QStringLiteral("Nimbus Mono PS"), QStringLiteral("DejaVu Sans Mono")}},
    };
    return mappings;
}

} // namespace

void InstallFontSubstitutions()
{
    for (const Mapping& m : Mappings()) {
        for (const QString& name : m.names) {
            // Replace, not add: a second call must not duplicate the list.
            QFont::removeSubstitutions(name);
            QFont::insertSubstitutions(name, m.faces);
        }
    }
}

QStringList FaceSubstitutes(const QString& family)
{
    for (const Mapping& m : Mappings()) {
        for (const QString& name : m.names) {
            if (name.compare(family, Qt::CaseInsensitive) == 0)
                return m.faces;
        }
    }
    return {};
}

const QStringList& FallbackFaces()
{
    static const QStringList faces = {
        QStringLiteral("Noto Serif CJK SC"), QStringLiteral("Noto Sans CJK SC"),
        QStringLiteral("WenQuanYi Zen Hei"), QStringLiteral("AR PL UMing CN"),
        QStringLiteral("DejaVu Sans"), QStringLiteral("Microsoft YaHei"), QStringLiteral("SimSun"),
    };
    return faces;
}

} // namespace brevix::docwindow
