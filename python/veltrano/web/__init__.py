"""The live view: its web server and the page it serves."""
