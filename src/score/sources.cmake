# Sources of this room are listed here.
