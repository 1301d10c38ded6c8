#include "command_line.h"
#include "render.h"

namespace marlix::cli {

void DescribeRender(CLI::App& app, RenderOptions& o) {
    app.description(
        "Draws the window as a picture. The window is built offscreen (no display needed) with one UTC "
        "day or the given files; the picture is the one the window's \"Save image...\" writes.");
    app.add_option("--out", o.out,
                   "the picture written: PNG, JPEG or BMP, as its suffix (.png, .jpg, .bmp) says")
        ->type_name("FILE")
        ->required();
    app.add_option("--data-dir", o.dataDirectory, "folder of the day logs, in front of every FILE")
        ->type_name("DIR");
    app.add_option("--date", o.date, "the UTC day shown (default yesterday)")->type_name("YYYY-MM-DD");
    app.add_option(
           "--size", o.size,
           "size of the window, 200x150 to 10000x10000; a size below the window's minimum is drawn at "
           "the minimum, with a notice (default the window's size at start, 772x580)")
        ->type_name("WxH");
    CLI::Option* from =
        app.add_option("--from", o.from, "zoom the charts to the time span from ...")->type_name("HH:MM");
    CLI::Option* to =
        app.add_option("--to", o.to, "... to this time of the day (UTC, up to 24:00)")->type_name("HH:MM");
    from->needs(to);
    to->needs(from);
    app.add_option("--layout", o.layout, "also write the charts' geometry and axis labels as JSON")
        ->type_name("FILE.json");
    app.add_option("FILE", o.files, "log files read as one log, in name order, as a drop on the window");
}

}  // namespace marlix::cli
