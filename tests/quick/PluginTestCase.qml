import QtQuick
import QtTest

// A test case that starts every test with a freshly loaded plug-in object.
TestCase {
    readonly property QtObject plugin: host.plugin

    function init() {
        // Views of the previous test are destroyed later; let them go before their models do.
        wait(0)
        verify(host.reset(), "the plug-in loads and initialises")
    }
}
