// ktav-uigen: reads the panel files (Qt Designer .ui) and writes the control id header and the
// panel table of one panel set. Controls are the widgets whose objectName matches
// ^[A-Z][A-Z0-9_]*$; each gets the constant <PANEL>_<NAME>, unique within the set. The controls
// carrying a mark (a bool property set to true) are listed in the header as <PREFIX>_<mark>.
//
// usage: ktav-uigen PREFIX RESOURCE OUT_HEADER OUT_SOURCE FILE.ui...
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>
#include <QSet>
#include <QTextStream>
#include <QXmlStreamReader>
#include <cstdio>
#include <map>

namespace {

// The widget classes a control may have, with the kind name of the run-time's table.
const std::map<QString, const char *> kKinds = {
    {"QPushButton", "PushButton"}, {"QRadioButton", "RadioButton"},
    {"QCheckBox", "CheckBox"},     {"QComboBox", "ComboBox"},
    {"QSpinBox", "SpinBox"},       {"QDoubleSpinBox", "DoubleSpinBox"},
    {"QLineEdit", "LineEdit"},     {"QLabel", "Label"},
    {"QSlider", "Slider"},         {"QPlainTextEdit", "PlainTextEdit"},
    {"KGraph", "Graph"},           {"KLed", "Led"},
    {"KTimer", "Timer"},           {"QProgressBar", "ProgressBar"},
};

struct Control {
    QString name;
    QString kind;
    QStringList marks;  // the marks set to true on it
};

struct Panel {
    QString file;       // base name of the .ui file, for the uic header name
    QString formClass;  // the <class> of the form: uic's Ui:: class
    QString name;       // objectName of the top-level widget
    int resourceId = -1;
    QList<Control> controls;
};

[[noreturn]] void Fail(const QString &file, const QString &what) {
    std::fprintf(stderr, "ktav-uigen: %s: %s\n", qPrintable(file), qPrintable(what));
    std::exit(1);
}

// The bool properties that mark a control for a generated list <PREFIX>_<property>.
const QStringList kMarks = {"sensorControl", "tableWriteHeld"};

// Reads the value of a property element whose start tag was just read, up to its end tag: the
// text of its value element (<number>, <bool>, <string>, ...).
QString ReadValue(QXmlStreamReader &xml) {
    QString value;
    while (xml.readNextStartElement())
        value = xml.readElementText(QXmlStreamReader::IncludeChildElements);
    return value;
}

Panel ReadPanel(const QString &path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) Fail(path, "cannot be opened");
    static const QRegularExpression controlName("^[A-Z][A-Z0-9_]*$");
    Panel panel;
    panel.file = QFileInfo(path).completeBaseName();
    QXmlStreamReader xml(&file);
    struct Open {
        bool widget;
        QString name;      // a widget's objectName
        int control = -1;  // a control's index in panel.controls
    };
    QList<Open> open;  // the elements read into, outermost first
    int depth = 0;     // widget nesting: 1 is the top-level widget
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isEndElement() && !open.isEmpty() && open.takeLast().widget) --depth;
        if (!xml.isStartElement()) continue;
        if (xml.name() == u"property" && !open.isEmpty() && open.last().widget) {
            const Open &widget = open.last();
            const QString name = xml.attributes().value("name").toString();
            const QString value = ReadValue(xml);
            if (depth == 1 && name == u"resourceId") {
                bool ok = false;
                panel.resourceId = value.toInt(&ok);
                if (!ok) panel.resourceId = -1;
            } else if (kMarks.contains(name)) {
                if (widget.control < 0) Fail(path, widget.name + ": " + name + " on no control");
                if (value != u"true" && value != u"false")
                    Fail(path, widget.name + ": " + name + " is not a bool");
                if (value == u"true") panel.controls[widget.control].marks.append(name);
            }
            continue;
        }
        if (xml.name() == u"class" && depth == 0 && panel.formClass.isEmpty()) {
            panel.formClass = xml.readElementText();
            continue;
        }
        Open element{xml.name() == u"widget", {}};
        if (element.widget) {
            ++depth;
            const QString cls = xml.attributes().value("class").toString();
            element.name = xml.attributes().value("name").toString();
            if (depth == 1) {
                panel.name = element.name;
            } else if (controlName.match(element.name).hasMatch()) {
                auto kind = kKinds.find(cls);
                if (kind == kKinds.end())
                    Fail(path, element.name + ": " + cls + " is not a control class");
                element.control = int(panel.controls.size());
                panel.controls.append({element.name, kind->second, {}});
            }
        }
        open.append(element);
    }
    if (xml.hasError()) Fail(path, xml.errorString());
    if (!controlName.match(panel.name).hasMatch())
        Fail(path, "top-level objectName '" + panel.name + "' is not a panel name in capitals");
    if (panel.formClass.isEmpty()) Fail(path, "no <class> element");
    if (panel.resourceId < 0) Fail(path, "no int property resourceId on the top-level widget");
    return panel;
}

void Write(const QString &path, const QString &text) {
    QSaveFile out(path);
    if (!out.open(QIODevice::WriteOnly) || out.write(text.toUtf8()) < 0 || !out.commit())
        Fail(path, "cannot be written");
}

QString Header(const QString &prefix, const QString &resource, const QList<Panel> &panels) {
    QString text;
    QTextStream s(&text);
    s << "// Panel and control ids of " << resource << ", generated from the panel files.\n"
      << "#pragma once\n\n"
      << "#include <array>\n\n"
      << "#include \"gui/runtime/panelset.h\"\n\n"
      << "inline constexpr char " << prefix << "_resource[] = \"" << resource << "\";\n";
    int id = 1;
    for (const Panel &p : panels) {
        s << "\n// " << p.file << ".ui\n"
          << "inline constexpr int " << p.name << " = " << p.resourceId << ";\n";
        for (const Control &c : p.controls)
            s << "inline constexpr int " << p.name << '_' << c.name << " = " << id++ << ";\n";
    }
    for (const QString &mark : kMarks) {
        QStringList marked;
        for (const Panel &p : panels)
            for (const Control &c : p.controls)
                if (c.marks.contains(mark)) marked.append(p.name + ", " + p.name + '_' + c.name);
        s << "\n// The controls marked " << mark << " in the panel files.\n"
          << "inline constexpr std::array<MarkedCtrl, " << marked.size() << "> " << prefix << '_'
          << mark << " = {";
        if (!marked.isEmpty()) s << "{\n    {" << marked.join("},\n    {") << "},\n}";
        s << "};\n";
    }
    return text;
}

QString Source(const QString &prefix, const QString &resource, const QList<Panel> &panels) {
    QString text;
    QTextStream s(&text);
    s << "// Panel table of " << resource << ", generated from the panel files.\n"
      << "#include \"gui/runtime/panelset.h\"\n";
    for (const Panel &p : panels) s << "#include \"ui_" << p.file << ".h\"\n";
    s << "\nnamespace {\n\n";
    for (const Panel &p : panels)
        s << "void Build" << p.name << "(QWidget *w) { Ui::" << p.formClass << "().setupUi(w); }\n";
    s << "\nconst PanelDef kPanels[] = {\n";
    for (const Panel &p : panels)
        s << "    {" << p.resourceId << ", \"" << p.name << "\", Build" << p.name << "},\n";
    s << "};\n\nconst CtrlDef kControls[] = {\n";
    int id = 1;
    for (const Panel &p : panels)
        for (const Control &c : p.controls)
            s << "    {" << id++ << ", " << p.resourceId << ", \"" << c.name
              << "\", CtrlKind::" << c.kind << "},\n";
    s << "};\n\n}  // namespace\n\n"
      << "// Referenced by the linker option that ktav_panels() adds, so that a static library\n"
      << "// keeps this table.\n"
      << "extern \"C\" const PanelSet " << prefix << "_panel_set = {\"" << resource
      << "\", kPanels, kControls};\n"
      << "[[maybe_unused]] static const bool registered = RegisterPanelSet(&" << prefix
      << "_panel_set);\n";
    return text;
}

}  // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 5) {
        std::fprintf(stderr,
                     "usage: ktav-uigen PREFIX RESOURCE OUT_HEADER OUT_SOURCE FILE.ui...\n");
        return 2;
    }
    const QString prefix = args[1], resource = args[2];
    QList<Panel> panels;
    QSet<QString> names;
    QSet<int> resourceIds;
    for (const QString &path : args.mid(5)) {
        Panel p = ReadPanel(path);
        if (resourceIds.contains(p.resourceId))
            Fail(path, QString("resource id %1 used twice").arg(p.resourceId));
        resourceIds.insert(p.resourceId);
        if (names.contains(p.name)) Fail(path, "panel name " + p.name + " used twice");
        names.insert(p.name);
        for (const Control &c : p.controls) {
            const QString id = p.name + '_' + c.name;
            if (names.contains(id)) Fail(path, "control id " + id + " used twice");
            names.insert(id);
        }
        panels.append(p);
    }
    Write(args[3], Header(prefix, resource, panels));
    Write(args[4], Source(prefix, resource, panels));
    return 0;
}
