import QtQuick 2.12

// The function page's carousel: five covers, mirroring in front.
Rectangle {
    id: root
    width: 600
    height: 450
    color: Qt.rgba(255, 0, 0, 0)

    ListModel {
        id: functionModel
        ListElement { url: "qrc:/img/icon_picShadow2.png"; name: "pic" }
        ListElement { url: "qrc:/img/icon_fileShadow2.png"; name: "file" }
        ListElement { url: "qrc:/img/icon_mirrorShadow2.png"; name: "mirror" }
        ListElement { url: "qrc:/img/icon_expandShadow2.png"; name: "expand" }
        ListElement { url: "qrc:/img/icon_desktopShadow2.png"; name: "desktop" }
    }

    CoverFlow {
        id: coverFlow
        objectName: "coverFlow"
        anchors.fill: parent
        model: functionModel
        itemCount: 5
    }

    Rectangle {
        id: emptyForFocus
        objectName: "emptyForFocus"
        width: 0
        height: 0
        y: root.height
    }
}
