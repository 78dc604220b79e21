// Runs every test class of the window; the exit code counts the classes that failed.

#include <QApplication>

namespace parlune::test {
int RunMainWindowTests(int argc, char** argv);
int RunRunWindowTests(int argc, char** argv);
int RunAboutBoxTests(int argc, char** argv);
int RunOpenWithTests(int argc, char** argv);
} // namespace parlune::test

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    int failedClasses = 0;
    for (auto* run : {parlune::test::RunMainWindowTests, parlune::test::RunRunWindowTests,
                      parlune::test::RunAboutBoxTests, parlune::test::RunOpenWithTests})
        failedClasses += run(argc, argv) != 0 ? 1 : 0;
    return failedClasses;
}
