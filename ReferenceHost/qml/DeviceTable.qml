import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import ReferenceHost

// A table of device rows, shared by the camera and station pages: column titles that
// sort, a check box per row that selects it by id, the status in words beside a
// coloured dot, and column widths shared by the titles and the rows.
// Each column is { title, role: a role name of the model, width: pixels or 0 for the
// rest of the row, status: true for the status column }.
// Delegates here reach ids of this file. Qt 6.5 and later declare that with
// "pragma ComponentBehavior: Bound", which Qt 6.4 does not know; its qmllint cannot
// tell such names from unqualified ones, so that one check is off inside delegates.
Rectangle {
    id: table

    required property var model     // a proxy of the plug-in, with sortByRole(role, order)
    required property DeviceRoster deviceRoster   // of the model's source: role numbers by name, ids in C++
    readonly property var roles: deviceRoster.roles
    required property var columns
    property var selectedIds: []
    // The same ids as keys, so that each row asks in one step whether it is selected.
    readonly property var selectedSet: {
        const set = {}
        for (const id of selectedIds)
            set[id] = true
        return set
    }
    property string sortRole
    property int sortOrder: Qt.AscendingOrder
    property string emptyText
    readonly property alias count: list.count

    readonly property int checkWidth: 38
    readonly property int rowHeight: 30

    border.color: Status.rule
    color: "white"

    function sortBy(role, order) {
        sortRole = role
        sortOrder = order
        model.sortByRole(roles[role], order)
    }

    // New rows come in unsorted: sort again by the column last chosen.
    function resort() {
        if (sortRole !== "")
            model.sortByRole(roles[sortRole], sortOrder)
    }

    function toggleSort(role) {
        sortBy(role, role === sortRole && sortOrder === Qt.AscendingOrder ? Qt.DescendingOrder : Qt.AscendingOrder)
    }

    function toggleSelected(id) {
        const ids = selectedIds.slice()
        const at = ids.indexOf(id)
        if (at >= 0)
            ids.splice(at, 1)
        else
            ids.push(id)
        selectedIds = ids
    }

    // The ids of the shown rows, in the order shown, but those of the skipped statuses.
    // Read in C++: at a hundred thousand rows a walk in JavaScript takes seconds.
    function shownIds(skippedStatuses) {
        return deviceRoster.shownIds(model, skippedStatuses === undefined ? [] : skippedStatuses)
    }

    function columnWidth(i, total) {
        if (columns[i].width > 0)
            return columns[i].width
        let used = checkWidth
        for (let c = 0; c < columns.length; ++c)
            used += columns[c].width
        return Math.max(150, total - used)
    }

    ColumnLayout {
        anchors.fill: parent
        anchors.margins: 1
        spacing: 0

        Row {
            id: headerRow
            Layout.fillWidth: true
            HeaderCell { width: table.checkWidth }
            // qmllint disable unqualified
            Repeater {
                model: table.columns
                HeaderCell {
                    required property var modelData
                    required property int index
                    objectName: table.objectName + ".header." + modelData.role
                    width: table.columnWidth(index, headerRow.width)
                    title: modelData.title
                    role: modelData.role
                    sorted: modelData.role === table.sortRole
                    sortOrder: table.sortOrder
                    onClicked: table.toggleSort(modelData.role)
                }
            }
            // qmllint enable unqualified
        }

        // Whole rows only: a row cut in half at the bottom reads as a different value.
        Item {
            id: listArea
            Layout.fillWidth: true
            Layout.fillHeight: true

            ListView {
                id: list
                width: listArea.width
                height: Math.floor(listArea.height / table.rowHeight) * table.rowHeight
                clip: true
                model: table.model
                boundsBehavior: Flickable.StopAtBounds
                ScrollBar.vertical: ScrollBar {
                    policy: list.visibleArea.heightRatio < 1 ? ScrollBar.AlwaysOn : ScrollBar.AlwaysOff
                }

                // qmllint disable unqualified
                delegate: Rectangle {
                    id: rowItem
                    required property int index
                    required property var model
                    readonly property bool selected: table.selectedSet[model.idRole] === true
                    width: ListView.view.width
                    height: table.rowHeight
                    color: selected ? Status.selectedRow : (index % 2 ? Status.oddRow : "white")

                    MouseArea {
                        anchors.fill: parent
                        onClicked: table.toggleSelected(rowItem.model.idRole)
                    }

                    Row {
                        anchors.fill: parent
                        CheckBox {
                            width: table.checkWidth
                            height: parent.height
                            padding: 0
                            checked: rowItem.selected
                            onToggled: table.toggleSelected(rowItem.model.idRole)
                        }
                        Repeater {
                            model: table.columns
                            Item {
                                id: cell
                                required property var modelData
                                required property int index
                                readonly property var value: rowItem.model[modelData.role]
                                readonly property bool status: modelData.status === true
                                width: table.columnWidth(index, list.width)
                                height: rowItem.height
                                Rectangle {
                                    visible: cell.status
                                    x: 6
                                    anchors.verticalCenter: parent.verticalCenter
                                    width: 10; height: 10; radius: 5
                                    color: cell.status ? Status.color(cell.value) : "transparent"
                                }
                                Label {
                                    anchors.fill: parent
                                    leftPadding: cell.status ? 22 : 6
                                    rightPadding: 4
                                    verticalAlignment: Text.AlignVCenter
                                    elide: Text.ElideRight
                                    font.bold: cell.status
                                    color: cell.status ? Status.color(cell.value) : "#1a1a1a"
                                    text: cell.status ? Status.name(cell.value)
                                                      : cell.value === undefined ? "" : String(cell.value)
                                }
                            }
                        }
                    }
                }
                // qmllint enable unqualified
            }

            Label {
                anchors.centerIn: parent
                visible: list.count === 0
                color: Status.dimText
                text: table.emptyText
            }
        }
    }
}
