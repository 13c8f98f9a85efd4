// The window as `vexlo FILE` opens it on KiCad demos, with no schematic tool and no bus: every
// action reads the file afresh, a save on disk is told, Ctrl+O and a dropped file open others.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDropEvent>
#include <QFileDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <filesystem>

#include "main/application.h"
#include "main/statusline.h"
#include "main/vexlo.h"
#include "mainwindowfixture.h"
#include "operations/operations.h"
#include "qtsupport.h"
#include "selection/droplist.h"
#include "testsupport.h"

namespace vexlo {
namespace {

namespace fs = std::filesystem;

class DesignFileWindow : public ::testing::Test {
protected:
    DesignFileWindow() {
        for (const char* demo : {"complex_hierarchy", "flat_hierarchy"}) {
            fs::copy(fs::path("/usr/share/kicad/demos") / demo, dir.file(demo),
                     fs::copy_options::recursive);
            test::writeFile(dir.file(std::string(demo) + "/vexlosettings.qzv"),
                            test::crlf({"Export_File_Format=3"}));
        }
        test::writeFile(dir.file("flat_hierarchy/vexloattributes.qzv"),
                        test::crlf({"** Values", "Value"}));
        // The bus is never asked: the window plays the tool over the file.
        w = std::make_unique<Vexlo>([]() -> std::unique_ptr<design::SchematicTool> {
            ADD_FAILURE() << "the running tool was asked for";
            throw Error(errc::ToolNotRunning, "asked");
        });
        w->showMessage = [this](auto, const QString& text) {
            messages.push_back(text.toStdString());
        };
    }
    std::string status() const {
        std::string text = w->lblStatus->text().toStdString();
        for (std::size_t at; (at = text.find(dir.path())) != std::string::npos;) {
            text.replace(at, dir.path().size(), "DIR");
        }
        return text;
    }
    std::string choices() const {
        std::string text;
        for (int i = 0; i < w->cmbChoice->count(); ++i) {
            text += "|" + w->cmbChoice->itemText(i).toStdString();
        }
        return text;
    }
    // Drops a file onto the window where the attribute list is, as a file manager does.
    void drop(const std::string& file) {
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(QString::fromStdString(file))});
        const QPoint at = w->lstAttributes->geometry().center();
        QWidget* target = w->childAt(at);
        while (target != nullptr && !target->acceptDrops()) {
            target = target->parentWidget();
        }
        ASSERT_EQ(target, w.get());
        QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, {});
        QDropEvent dropped(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(target, &enter);
        ASSERT_TRUE(enter.isAccepted());
        QApplication::sendEvent(target, &dropped);
        const std::string before = status();
        EXPECT_TRUE(QTest::qWaitFor([&] { return status() != before; }));
    }

    test::TempDir dir;
    test::ViewerRecorder viewer;
    std::unique_ptr<Vexlo> w;
    std::vector<std::string> messages;
};

TEST_F(DesignFileWindow, WorksOnTheFileAsItIsSaved) {
    ASSERT_TRUE(w->openDesign(dir.file("complex_hierarchy/complex_hierarchy.kicad_pro")));
    w->show();
    EXPECT_EQ(status(),
              "Design opened: complex_hierarchy in DIR/complex_hierarchy/, 68 parts in the BOM");
    QTest::mouseClick(w->btnLoad, Qt::LeftButton);
    EXPECT_EQ(status(),
              "Design read: complex_hierarchy in DIR/complex_hierarchy/, 68 parts in the BOM, 7 "
              "attribute names");
    for (const char* column : {"REFDES", "Value"}) {
        w->lstSelected->addItem(column);
    }
    const std::string report = dir.file("complex_hierarchy/complex_hierarchy.csv");
    QTest::mouseClick(w->btnReport, Qt::LeftButton);
    EXPECT_EQ(status(), "Report written: DIR/complex_hierarchy/complex_hierarchy.csv (68 rows)");
    EXPECT_NE(test::readFile(report).find("C8,820pF\r\n"), std::string::npos);

    // KiCad saves the root sheet with a value changed: the window says so, and the next report
    // and F5 read the file as saved.
    ASSERT_TRUE(test::setC8To1nF(dir.file("complex_hierarchy/complex_hierarchy.kicad_sch")));
    EXPECT_TRUE(QTest::qWaitFor([&] { return status() == operations::designChangedMessage; }));
    QTest::mouseClick(w->btnReport, Qt::LeftButton);
    EXPECT_NE(test::readFile(report).find("C8,1nF\r\n"), std::string::npos);
    // A sheet of the hierarchy is watched too.
    test::writeFile(dir.file("complex_hierarchy/ampli_ht.kicad_sch"),
                    test::readFile(dir.file("complex_hierarchy/ampli_ht.kicad_sch")) + "\n");
    EXPECT_TRUE(QTest::qWaitFor([&] { return status() == operations::designChangedMessage; }));
    w->actReadAgain->trigger();
    EXPECT_EQ(status().substr(0, 45), "Design read again: complex_hierarchy in DIR/c");
    EXPECT_EQ(choices(), "");
    EXPECT_EQ(messages, std::vector<std::string>{});
}

// Ctrl+O and a dropped file open other designs, with their own saved selections and settings;
// a file that is no design is refused, and the window goes on with the one it had.
TEST_F(DesignFileWindow, OpensOtherDesignsAndRefusesOthers) {
    ASSERT_TRUE(w->openDesign(dir.file("complex_hierarchy/complex_hierarchy.kicad_sch")));
    w->show();
    QTest::mouseClick(w->btnLoad, Qt::LeftButton);
    w->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(w.get()));
    bool asked = false;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        asked = true;
        EXPECT_EQ(dialog->objectName(), "dlgOpen");
        EXPECT_EQ(dialog->directory().absolutePath().toStdString(), dir.file("complex_hierarchy"));
        auto* name = dialog->findChild<QLineEdit*>("fileNameEdit");
        ASSERT_NE(name, nullptr);
        name->setText(QString::fromStdString(dir.file("flat_hierarchy/flat_hierarchy.kicad_pro")));
        QTest::keyClick(name, Qt::Key_Return);
    });
    QTest::keyClick(w.get(), Qt::Key_O, Qt::ControlModifier);
    EXPECT_TRUE(asked);
    EXPECT_EQ(status(),
              "Design read: flat_hierarchy in DIR/flat_hierarchy/, 58 parts in the BOM, 9 "
              "attribute names");
    EXPECT_EQ(choices(), "|Values");
    w->cmbChoice->setCurrentIndex(0);
    QTest::mouseClick(w->btnloadChoice, Qt::LeftButton);
    EXPECT_EQ(status(), "Report written: DIR/flat_hierarchy/flat_hierarchy_Values.csv (58 rows)");

    // Back to the first design by a drop: none of the other's saved selections.
    drop(dir.file("complex_hierarchy/complex_hierarchy.kicad_pro"));
    EXPECT_EQ(status().substr(0, 40), "Design read: complex_hierarchy in DIR/co");
    EXPECT_EQ(choices(), "");
    const std::string notes = dir.file("complex_hierarchy/notes.txt");
    test::writeFile(notes, "to do\n");
    drop(notes);
    EXPECT_EQ(status(),
              "Error 1016: DIR/complex_hierarchy/notes.txt: not a design file this program "
              "reads: give a KiCad project (.kicad_pro), its root sheet (.kicad_sch), "
              "KiCad's XML netlist (.xml) or a JSON design");
    ASSERT_EQ(messages.size(), 1U);
    EXPECT_EQ(messages[0].substr(0, 30), "Open a KiCad project (.kicad_p");
    QTest::mouseClick(w->btnReport, Qt::LeftButton);
    EXPECT_EQ(status(), "Report written: DIR/complex_hierarchy/complex_hierarchy.csv (68 rows)");
    // A variant goes to the reader: this design has none.
    EXPECT_FALSE(w->openDesign(dir.file("flat_hierarchy/flat_hierarchy.kicad_pro"), "Lite"));
    EXPECT_NE(status().find("no variant named \"Lite\""), std::string::npos) << status();
}

// vexlo FILE: a file that is no design is told, and no window opens; the arguments the program
// takes, and those it refuses.
TEST(DesignFileApplication, RefusesWhatIsNoDesign) {
    const test::TempDir dir;
    test::writeFile(dir.file("notes.txt"), "to do\n");
    const auto noTool = []() -> std::unique_ptr<design::SchematicTool> {
        throw Error(errc::ToolNotRunning, "not running");
    };
    const std::string told = test::messageOf([&] {
        EXPECT_EQ(runApplication(noTool, {dir.file("notes.txt"), ""}), exitUsage);
    });
    EXPECT_EQ(told.substr(told.find("\n\n") + 2, dir.path().size()), dir.path());
    EXPECT_TRUE(std::ranges::none_of(QApplication::topLevelWidgets(), [](QWidget* window) {
        return qobject_cast<Vexlo*>(window) != nullptr && window->isVisible();
    }));

    using Arguments = std::vector<std::string>;
    const auto parsed = [](const Arguments& arguments) {
        try {
            const StartOptions start = parseStartArguments(arguments);
            return start.design + "|" + start.variant;
        } catch (const Error& usage) {
            return std::string(usage.what());
        }
    };
    EXPECT_EQ(parsed({}), "|");
    EXPECT_EQ(parsed({"amp.kicad_pro"}), "amp.kicad_pro|");
    EXPECT_EQ(parsed({"--variant", "Lite", "amp.kicad_pro"}), "amp.kicad_pro|Lite");
    EXPECT_EQ(parsed({"-"}), "-|");
    EXPECT_EQ(parsed({"--variant", "Lite"}), "option --variant needs a design FILE");
    EXPECT_EQ(parsed({"amp.kicad_pro", "--variant"}), "option --variant needs a variant name");
    EXPECT_EQ(parsed({"amp.kicad_pro", "--variant", ""}), "option --variant needs a variant name");
    EXPECT_EQ(parsed({"--open", "amp.kicad_pro"}), "unknown option \"--open\"");
    EXPECT_EQ(parsed({"a.kicad_pro", "b.kicad_pro"}),
              "one design file at a time, not also \"b.kicad_pro\"");
    EXPECT_EQ(parsed({""}), "an empty design file name");
    char program[] = "vexlo";
    char help[] = "-h";
    char* argv[] = {program, help};
    EXPECT_TRUE(helpAsked(2, argv));
    EXPECT_FALSE(helpAsked(1, argv));
}

}  // namespace
}  // namespace vexlo
