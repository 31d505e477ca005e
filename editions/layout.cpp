#include "editions/layout.h"

#include <stdexcept>

namespace brevix {

const ControlPlace* WindowLayout::find(const QString& name) const
{
    for (const ControlPlace& place : controls)
        if (place.name == name)
            return &place;
    return nullptr;
}

namespace {

ControlPlace P(const char* name, int left, int top, int width, int height)
{
    return {QString::fromLatin1(name), left, top, width, height};
}

using Places = QVector<ControlPlace>;

Places Join(std::initializer_list<Places> parts)
{
    Places all;
    for (const Places& part : parts)
        all += part;
    return all;
}

// The same controls, some of them moved or resized.
Places Moved(Places places, const Places& moves)
{
    for (const ControlPlace& move : moves)
        for (ControlPlace& place : places)
            if (place.name == move.name)
                place = move;
    return places;
}

// The main window's entry fields, ahead of the category options.
const Places& MainEntry()
{
    static const Places places{
        P("Label1", 180, 270, 900, 180),
        P("txtTitle", 1140, 240, 3495, 240),
        P("txtSource", 1140, 720, 2475, 255),
        P("rtxtWord", 420, 1380, 4275, 4455),
    };
    return places;
}

// The main window's controls that follow the first category option, from
// the submit button to Label12.
const Places& MainRest()
{
    static const Places places{
        P("cmdTJ", 720, 7320, 1155, 375),
        P("cmdQC", 2940, 7320, 1155, 375),
        P("cmdDown", 10080, 1740, 975, 375),
        P("cmdUp", 10080, 2316, 975, 375),
        P("cmdEdit", 10080, 2892, 975, 375),
        P("cmdDel", 10080, 3468, 975, 375),
        P("cmdSave", 10080, 4044, 975, 375),
        P("cmdInFile", 10080, 4620, 975, 375),
        P("txtNoHZ", 5760, 5985, 1035, 210),
        P("txtNoSum", 7860, 5985, 675, 210),
        P("cboYear", 6462, 6360, 915, 300),
        P("cboMonth", 7755, 6360, 675, 300),
        P("cboDay", 8820, 6360, 675, 300),
        P("cmdOutWord", 5700, 7020, 2595, 435),
        P("cmdEXIT", 9000, 7020, 1275, 435),
        P("famClass", 420, 5940, 4335, 1275),
        P("Label2", 180, 750, 900, 180),
        P("lstTitles", 5460, 420, 4515, 4740),
        P("Label3", 180, 1140, 900, 180),
        P("Label4", 5160, 180, 900, 180),
        P("Label5", 5460, 6000, 180, 180),
        P("Label6", 6900, 6000, 180, 180),
        P("Label7", 7440, 6000, 360, 180),
        P("Label8", 8640, 6000, 180, 180),
        P("Label9", 5460, 6420, 900, 180),
        P("Label10", 7479, 6420, 180, 180),
        P("Label11", 8538, 6420, 180, 180),
        P("Label12", 9600, 6420, 180, 180),
    };
    return places;
}

// The edit dialog's controls after its category options.
const Places& DialogRest()
{
    static const Places places{
        P("cmdTJ", 300, 6060, 1155, 375),
        P("cmdQC", 300, 6720, 1155, 375),
        P("txtSource", 1800, 600, 5775, 285),
        P("txtTitle", 1800, 180, 5775, 285),
        P("Label3", 420, 1020, 1050, 210),
        P("Label2", 420, 637, 1050, 210),
        P("Label1", 420, 217, 1050, 210),
    };
    return places;
}

} // namespace

const EditionLayout& Brevix2003Layout()
{
    // In the main window the first option comes with the entry fields; the
    // others and the page-estimate label come last.
    static const EditionLayout layout{
        {Join({MainEntry(),
               {P("optHGDX", 240, 300, 1095, 195)},
               MainRest(),
               {P("optZXCX", 240, 960, 1095, 180), P("Label13", 5460, 5220, 2160, 180),
                P("optSCDT", 1500, 637, 1095, 180), P("optZHBD", 2760, 630, 1035, 195),
                P("optQYZH", 240, 637, 1095, 180)}})},
        {Join({{P("rtxtWord", 1800, 1140, 6555, 6555), P("famClass", 300, 1740, 1335, 2895),
                P("optQYZH", 120, 795, 1035, 195), P("optSCDT", 120, 1290, 1035, 195),
                P("optZXCX", 120, 2280, 1095, 180), P("optZHBD", 120, 1785, 1035, 195),
                P("optHGDX", 120, 300, 1035, 195)},
               DialogRest()})},
    };
    return layout;
}

const EditionLayout& BrevixLayout()
{
    // Six options in three columns of two, all right after the entry fields;
    // the frame is lower and the list longer; no page-estimate label.
    static const EditionLayout layout{
        {Join({Moved(MainEntry(), {P("rtxtWord", 420, 1380, 4275, 4215)}),
               {P("optHGDX", 360, 300, 1155, 195), P("optRDGZ", 360, 720, 1275, 195),
                P("optXXZL", 1650, 300, 1215, 195), P("optQYZH", 1650, 720, 1215, 195),
                P("optGNHY", 3000, 300, 1035, 195), P("optGJHY", 3000, 727, 1095, 180)},
               Moved(MainRest(), {P("cmdTJ", 720, 7020, 1155, 375), P("cmdQC", 2880, 7020, 1155, 375),
                                  P("famClass", 420, 5820, 4275, 1095), P("lstTitles", 5460, 600, 4515, 4920),
                                  P("Label4", 5220, 240, 900, 180)})})},
        {Join({{P("rtxtWord", 1800, 1140, 6555, 6555), P("famClass", 300, 1740, 1335, 3135),
                P("optQYZH", 120, 1704, 1035, 195), P("optXXZL", 120, 1236, 1035, 195),
                P("optGJHY", 120, 2640, 1095, 180), P("optGNHY", 120, 2172, 1035, 195),
                P("optRDGZ", 120, 768, 1035, 195), P("optHGDX", 120, 300, 1035, 195)},
               DialogRest()})},
    };
    return layout;
}

const EditionLayout& LayoutOf(const Edition& edition)
{
    if (edition.programName == QLatin1String("Brevix2003"))
        return Brevix2003Layout();
    if (edition.programName == QLatin1String("Brevix"))
        return BrevixLayout();
    throw std::invalid_argument("no window layout for edition " + edition.programName.toStdString());
}

} // namespace brevix
