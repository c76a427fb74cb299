#include <QApplication>
#include <QThreadPool>
#include <gtest/gtest.h>

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
#if defined(__SANITIZE_THREAD__)
    // The toolkit fills large areas of a window on threads of its global
    // pool, which pass the pool's own lists to one another under a lock
    // ThreadSanitizer cannot see, in frames it cannot name. One thread that
    // never expires leaves none to pass them to.
    QThreadPool::globalInstance()->setMaxThreadCount(1);
    QThreadPool::globalInstance()->setExpiryTimeout(-1);
#endif
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
